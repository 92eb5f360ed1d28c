#include "buscommands.h"
#include "cliconsole.h"
#include "bussession.h"
#include "exchangecommands.h"
#include "valuecodec.h"

#include <TavrexBus1/tavrexbus.h>

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QTextStream>

#include <functional>

namespace {

using CliConsole::err;
using CliConsole::fail;
using CliConsole::out;

int crcCommand(const QStringList &args)
{
    ModbusBytes bytes;
    QString error;
    if (!ValueCodec::parseHex(args, bytes, error))
        return fail(error);
    const ModbusBytes onWire = ModbusBytes::fromUInt16(qChecksumModbus(bytes));
    // The library keeps the CRC in wire order; engineers also know it as the standard register value.
    ModbusBytes standardOrder = onWire;
    standardOrder.reverse();
    const ushort standard = standardOrder.toUInt16();
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
    QString summary;
    // Shown by "tavrexbus <command> --help": what the command does and its arguments.
    QString details;
    QList<QCommandLineOption> options;
    std::function<int(const QStringList &)> run;
};

const QCommandLineOption &helpOption()
{
    static const QCommandLineOption option({ QStringLiteral("h"), QStringLiteral("help") },
                                           QStringLiteral("Show the command's help"));
    return option;
}

QString typeNames()
{
    return ValueCodec::typeNames().join(QStringLiteral(", "));
}

QList<Command> makeCommands()
{
    const QString split = QStringLiteral("A transfer longer than %1 registers is made in requests of %1 registers.\n")
                              .arg(BusCommands::partSize());
    const QString types = QStringLiteral("  type      %1\n").arg(typeNames());
    const QList<QCommandLineOption> bus = BusSession::options();
    return {
        { QStringLiteral("crc"), QStringLiteral("crc <hex bytes>"),
          QStringLiteral("Modbus CRC-16 of the bytes and the RTU frame they make"),
          QStringLiteral("Prints the CRC in wire order and as the standard register value, and the RTU frame.\n\n"
                         "Arguments:\n  hex bytes  \"01 03 00 6B\", 0103006B or 01 03 00 6B\n"),
          { helpOption() }, crcCommand },
        { QStringLiteral("encode"), QStringLiteral("encode <type> <value>"),
          QStringLiteral("register bytes of a typed value"),
          QStringLiteral("Prints the register bytes of a value: big-endian, high word first.\n\nArguments:\n") + types
              + QStringLiteral("  value     a number, a text, or yyyy-MM-ddTHH:mm:ss for datetime\n"),
          { helpOption() }, encodeCommand },
        { QStringLiteral("decode"), QStringLiteral("decode <type> <hex bytes>"),
          QStringLiteral("typed value of register bytes"),
          QStringLiteral("Prints the value that register bytes hold.\n\nArguments:\n") + types
              + QStringLiteral("  hex bytes the bytes, as one or several arguments\n"),
          { helpOption() }, decodeCommand },
        { QStringLiteral("read"), QStringLiteral("read <register> [type] [count]"),
          QStringLiteral("read registers as typed values (default uint16)"),
          QStringLiteral("Reads registers and prints one line per value (\"400001: 42\"); string and hex print "
                         "one line.\n")
              + split
              + QStringLiteral("\nArguments:\n"
                               "  register  logical number: 300001... input, 400001... holding registers\n")
              + types
              + QStringLiteral("            or hex (default uint16)\n"
                               "  count     number of values (string and hex: registers), default 1\n"),
          bus, BusCommands::read },
        { QStringLiteral("write"), QStringLiteral("write <register> <type> <value>"),
          QStringLiteral("write a typed value (hex: raw register bytes)"),
          QStringLiteral("Writes one register with function 6, more with function 16.\n") + split
              + QStringLiteral("\nArguments:\n  register  holding register number, 400001...\n") + types
              + QStringLiteral("            or hex for raw register bytes\n"
                               "  value     the value; for hex the bytes, as one or several arguments\n"),
          bus, BusCommands::write },
        { QStringLiteral("report"), QStringLiteral("report"),
          QStringLiteral("device name and report bytes (function 17)"),
          QStringLiteral("Asks for the device's report (function 17) and prints its name (the text before the first "
                         "zero byte),\nthe device name and version when the name reads as \"name version\", the "
                         "report's printable\ntext and its bytes.\n"),
          bus, BusCommands::report },
        { QStringLiteral("file"), QStringLiteral("file <file> <offset> <count> [hex|string]"),
          QStringLiteral("read file registers (function 68)"),
          QStringLiteral("Reads file registers (function 68) and prints them with their byte count. Offset and count "
                         "are in\nregisters of 2 bytes (a ModbusFile item counts its length in bytes).\n")
              + split
              + QStringLiteral("\nArguments:\n  file      file number, 0-255\n  offset    first register, 0-65535\n"
                               "  count     registers to read\n  format    hex (default) or string\n"),
          bus, BusCommands::file },
        { QStringLiteral("archive"), QStringLiteral("archive <index> [label | --from/--to]"),
          QStringLiteral("archive records: one request, or a range as a table"),
          QStringLiteral("With a label, --records or --backward: reads --records archive records (function 67) from "
                         "the label, or\nfrom the first record (the last with --backward), and prints each "
                         "record's bytes.\n\n"
                         "Otherwise it reads every record of a range, in as many requests as it takes, and prints "
                         "one\nrow per record: its label, then its bytes, or with --generation the meter "
                         "record's named values.\nFunction 67 (the default) reads the labels the device lists; "
                         "function 65 reads every label of the\n--period and gives zeros where the device keeps "
                         "no record. Without --from the range starts at the\nfirst record, without --to it ends "
                         "at the last (function 65 needs --to). Long ranges tell their\nprogress on standard error.\n"
                         "A reading that fails "
                         "prints what it read, then where it stopped.\n\nArguments:\n"
                         "  index     archive index, 0-65535\n"
                         "  label     index label (a number) or, with --time, yyyy-MM-ddTHH:mm:ss\n"),
          bus + BusCommands::archiveOptions(), BusCommands::archive },
        { QStringLiteral("labels"), QStringLiteral("labels <index> [--time]"),
          QStringLiteral("first and last labels of an archive (function 66)"),
          QStringLiteral("Prints the first and last labels of an archive (function 66).\n\nArguments:\n"
                         "  index     archive index, 0-65535\n"),
          bus + BusCommands::labelsOptions(), BusCommands::labels },
        { QStringLiteral("export"), QStringLiteral("export --map <file> --xml|--csv <file>"),
          QStringLiteral("read a register map's values and save them to XML or CSV"),
          QStringLiteral("Reads every register of the map from the device (failed reads are retried twice) and "
                         "saves the values:\n--xml as a file that import writes back, --csv as a table of "
                         "register, type and value.\nThe map is JSON in the simulator's format: \"registers\" "
                         "entries with address, type, count and length.\n"),
          bus + ExchangeCommands::exportOptions(), ExchangeCommands::exportValues },
        { QStringLiteral("import"), QStringLiteral("import --map <file> --xml <file> [--dry-run]"),
          QStringLiteral("write values saved by export back to the device"),
          QStringLiteral("Loads the values of the map's holding registers from the file and writes them to the "
                         "device, one line\nper value. A file that does not fit changes nothing; registers the "
                         "file has no value for are told.\n--dry-run only shows what would be written.\n"),
          bus + ExchangeCommands::importOptions(), ExchangeCommands::importValues },
    };
}

const QList<Command> &commands()
{
    static const QList<Command> list = makeCommands();
    return list;
}

// "  --url <url>   Device: ... (default: tcp://127.0.0.1:502)", names aligned in one column.
QString optionsText(const QList<QCommandLineOption> &options)
{
    QStringList names;
    int width = 0;
    for (const QCommandLineOption &option : options) {
        QStringList dashed;
        for (const QString &name : option.names())
            dashed << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        names << dashed.join(QStringLiteral(", "))
                + (option.valueName().isEmpty() ? QString() : QStringLiteral(" <%1>").arg(option.valueName()));
        width = std::max(width, int(names.constLast().size()));
    }
    QString text = QStringLiteral("Options:\n");
    for (int i = 0; i < options.size(); ++i) {
        const QStringList defaults = options.at(i).defaultValues();
        text += QStringLiteral("  %1  %2%3\n")
                    .arg(names.at(i).leftJustified(width), options.at(i).description(),
                         defaults.isEmpty() ? QString() : QStringLiteral(" (default: %1)").arg(defaults.join(", ")));
    }
    return text;
}

QString commandHelp(const Command &command)
{
    QString text = QStringLiteral("Usage: tavrexbus %1 [options]\n\n%2\n%3")
                       .arg(command.synopsis, command.details, optionsText(command.options));
    if (command.options.size() > 1)
        text += QStringLiteral("\nA failure exits with status 1 and a message on standard error; an exception "
                               "answer is told in one\nline (in full with --verbose).\n");
    return text;
}

QString helpText()
{
    QString text = QStringLiteral("Usage: tavrexbus [--help] [--version] <command> [arguments]\n\nCommands:\n");
    for (const Command &command : commands())
        text += QStringLiteral("  %1%2\n").arg(command.synopsis.leftJustified(44), command.summary);
    text += QStringLiteral("\n'tavrexbus <command> --help' tells a command's arguments and options.\n");
    text += QStringLiteral("Bus commands talk to --url tcp://host:port (default tcp://127.0.0.1:502), "
                           "tftp://host:port or rtu:///dev/ttyS0?baud=19200;\n"
                           "--interval MS polls again, reconnecting a lost link.\n");
    text += QStringLiteral("Registers are logical numbers: 400001... holding, 300001... input.\n");
    text += QStringLiteral("Values are big-endian, high word first; datetime is yyyy-MM-ddTHH:mm:ss.\n");
    return text;
}

const Command *findCommand(const QString &name)
{
    for (const Command &command : commands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
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
    const bool helpWord = args.first() == QLatin1String("help");
    const Command *command = findCommand(helpWord ? args.value(1) : args.first());
    if (helpWord && args.size() == 1) {
        out() << helpText();
        return 0;
    }
    if (!command)
        return fail(QStringLiteral("unknown command \"%1\"; see tavrexbus --help").arg(args.value(helpWord ? 1 : 0)));
    const QStringList rest = args.mid(1);
    if (helpWord || rest.contains(QLatin1String("--help")) || rest.contains(QLatin1String("-h"))) {
        out() << commandHelp(*command);
        return 0;
    }
    return command->run(rest);
}
