#include "buscommands.h"
#include "bussession.h"
#include "valuecodec.h"

#include <TavrexBus1/tavrexbus.h>

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QTextStream>

#include <functional>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

int fail(const QString &message)
{
    err() << "tavrexbus: " << message << Qt::endl;
    return 1;
}

int crcCommand(const QStringList &args)
{
    ModbusBytes bytes;
    QString error;
    if (!ValueCodec::parseHex(args, bytes, error))
        return fail(error);
    const ushort crc = qChecksumModbus(bytes.constData(), uint(bytes.size()));
    const ModbusBytes onWire = ModbusBytes::fromUInt16(crc);
    // The library keeps the CRC in wire order; engineers also know it as the standard register value.
    const ushort standard = ushort(crc << 8 | crc >> 8);
    out() << "crc: " << ValueCodec::toHex(onWire) << " (CRC-16/MODBUS 0x"
          << QString::number(standard, 16).toUpper().rightJustified(4, QLatin1Char('0')) << ")" << Qt::endl;
    out() << "frame: " << ValueCodec::toHex(bytes + onWire) << Qt::endl;
    return 0;
}

int encodeCommand(const QStringList &args)
{
    if (args.size() != 2)
        return fail(QStringLiteral("encode takes a type and a value"));
    ModbusBytes bytes;
    QString error;
    if (!ValueCodec::encode(args.at(0), args.at(1), bytes, error))
        return fail(error);
    out() << ValueCodec::toHex(bytes) << Qt::endl;
    return 0;
}

int decodeCommand(const QStringList &args)
{
    if (args.size() < 2)
        return fail(QStringLiteral("decode takes a type and hex bytes"));
    ModbusBytes bytes;
    QString text;
    QString error;
    if (!ValueCodec::parseHex(args.mid(1), bytes, error) || !ValueCodec::decode(args.at(0), bytes, text, error))
        return fail(error);
    out() << text << Qt::endl;
    return 0;
}

struct Command
{
    QString name;
    QString synopsis;
    QString description;
    std::function<int(const QStringList &)> run;
};

const QList<Command> &commands()
{
    static const QList<Command> list = {
        { QStringLiteral("crc"), QStringLiteral("crc <hex bytes>"),
          QStringLiteral("Modbus CRC-16 of the bytes and the RTU frame they make"), crcCommand },
        { QStringLiteral("encode"), QStringLiteral("encode <type> <value>"),
          QStringLiteral("register bytes of a typed value"), encodeCommand },
        { QStringLiteral("decode"), QStringLiteral("decode <type> <hex bytes>"),
          QStringLiteral("typed value of register bytes"), decodeCommand },
        { QStringLiteral("read"), QStringLiteral("read <register> [type] [count]"),
          QStringLiteral("read registers as typed values (default uint16)"), BusCommands::read },
        { QStringLiteral("write"), QStringLiteral("write <register> <type> <value>"),
          QStringLiteral("write a typed value (hex: raw register bytes)"), BusCommands::write },
        { QStringLiteral("report"), QStringLiteral("report"),
          QStringLiteral("device name and report bytes (function 17)"), BusCommands::report },
        { QStringLiteral("file"), QStringLiteral("file <file> <offset> <count> [hex|string]"),
          QStringLiteral("read file registers (function 68)"), BusCommands::file },
        { QStringLiteral("archive"), QStringLiteral("archive <index> [label]"),
          QStringLiteral("archive records (function 67): --time, --backward, --records n"), BusCommands::archive },
        { QStringLiteral("labels"), QStringLiteral("labels <index> [--time]"),
          QStringLiteral("first and last labels of an archive (function 66)"), BusCommands::labels },
    };
    return list;
}

QString helpText()
{
    QString text = QStringLiteral("Usage: tavrexbus [--help] [--version] <command> [arguments]\n\nCommands:\n");
    for (const Command &command : commands())
        text += QStringLiteral("  %1%2\n").arg(command.synopsis.leftJustified(44), command.description);
    text += QStringLiteral("\n") + BusSession::usage();
    text += QStringLiteral("\nTypes: %1 (reads also: hex)\n").arg(ValueCodec::typeNames().join(QStringLiteral(", ")));
    text += QStringLiteral("Values are big-endian, high word first; datetime is yyyy-MM-ddTHH:mm:ss.\n");
    text += QStringLiteral("Hex bytes may be given as \"01 03 00 6B\", 0103006B or 01 03 00 6B.\n");
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrexbus"));
    QCoreApplication::setApplicationVersion(TavrexBus::version());

    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Show this help."));
    const QCommandLineOption version({ QStringLiteral("v"), QStringLiteral("version") },
                                     QStringLiteral("Show the library version."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do."));
    if (!parser.parse(app.arguments()))
        return fail(parser.errorText());
    if (parser.isSet(version)) {
        out() << "tavrexbus " << TavrexBus::version() << Qt::endl;
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    if (parser.isSet(help) || args.isEmpty()) {
        (args.isEmpty() && !parser.isSet(help) ? err() : out()) << helpText();
        return parser.isSet(help) ? 0 : 2;
    }
    for (const Command &command : commands()) {
        if (command.name == args.first())
            return command.run(args.mid(1));
    }
    return fail(QStringLiteral("unknown command \"%1\"; see tavrexbus --help").arg(args.first()));
}
