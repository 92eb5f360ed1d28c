#include "buscommands.h"

#include "bussession.h"
#include "valuecodec.h"

#include <QtCore/QDateTime>
#include <QtCore/QTextStream>

namespace {

const QString timeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

int fail(const QString &message)
{
    QTextStream(stderr) << "tavrexbus: " << message << Qt::endl;
    return 1;
}

bool parseNumber(const QString &text, qint64 low, qint64 high, qint64 &value)
{
    bool ok = false;
    value = text.toLongLong(&ok, 0);
    return ok && value >= low && value <= high;
}

bool parseRegister(const QString &text, quint32 &address, QString &error)
{
    qint64 value = 0;
    if (!parseNumber(text, 300001, 465536, value) || (value > 365536 && value < 400001)) {
        error = QStringLiteral("\"%1\" is not a register number (300001... input, 400001... holding)").arg(text);
        return false;
    }
    address = quint32(value);
    return true;
}

// Registers one value of type takes; 0 for the types whose size the count gives.
int registersOf(const QString &type)
{
    if (type == QLatin1String("int16") || type == QLatin1String("uint16"))
        return 1;
    if (type == QLatin1String("double"))
        return 4;
    if (type == QLatin1String("string") || type == QLatin1String("hex"))
        return 0;
    return 2;
}

QString hex(const ModbusBytes &bytes)
{
    return ValueCodec::toHex(bytes);
}

// One line per value ("400001: 42"), or one line for a string or hex dump.
bool printValues(quint32 address, const QString &type, const ModbusBytes &bytes, QString &error)
{
    const int step = registersOf(type);
    if (step == 0) {
        QString text = type == QLatin1String("hex") ? hex(bytes) : QString();
        if (type == QLatin1String("string") && !ValueCodec::decode(type, bytes, text, error))
            return false;
        while (text.endsWith(QChar(0)))
            text.chop(1);
        out() << address << ": " << text << Qt::endl;
        return true;
    }
    for (int pos = 0; pos + step * 2 <= bytes.size(); pos += step * 2) {
        QString text;
        if (!ValueCodec::decode(type, bytes.mid(pos, step * 2), text, error))
            return false;
        out() << address + quint32(pos / 2) << ": " << text << Qt::endl;
    }
    return true;
}

QString typeList()
{
    return (ValueCodec::typeNames() << QStringLiteral("hex")).join(QStringLiteral(", "));
}

} // namespace

namespace BusCommands {

int read(const QStringList &args)
{
    BusSession session;
    QString error;
    quint32 address = 0;
    if (!session.parse(args, 1, 3, error) || !parseRegister(session.positional().at(0), address, error))
        return fail(error);
    const QString type = session.positional().value(1, QStringLiteral("uint16"));
    if (type != QLatin1String("hex") && !ValueCodec::isKnownType(type))
        return fail(QStringLiteral("unknown type \"%1\" (one of: %2)").arg(type, typeList()));
    qint64 count = 1;
    if (session.positional().size() > 2 && !parseNumber(session.positional().at(2), 1, 125, count))
        return fail(QStringLiteral("count must be 1-125"));
    const int registers = registersOf(type) ? registersOf(type) * int(count) : int(count);
    if (registers > 125)
        return fail(QStringLiteral("at most 125 registers in one read, %1 asked").arg(registers));
    if (!session.open(error))
        return fail(error);
    return session.run([&](QString &pollError) {
        ModbusBytes bytes;
        return session.modbuser().readRegisters(address, quint16(registers), bytes)
            && printValues(address, type, bytes, pollError);
    });
}

int write(const QStringList &args)
{
    BusSession session;
    QString error;
    quint32 address = 0;
    if (!session.parse(args, 3, 3, error) || !parseRegister(session.positional().at(0), address, error))
        return fail(error);
    if (address < 400001)
        return fail(QStringLiteral("input registers (3xxxxx) cannot be written"));
    const QString type = session.positional().at(1);
    ModbusBytes bytes;
    if (type == QLatin1String("hex") ? !ValueCodec::parseHex(session.positional().mid(2), bytes, error)
                                     : !ValueCodec::encode(type, session.positional().at(2), bytes, error))
        return fail(error);
    if (bytes.isEmpty() || bytes.size() % 2 || bytes.size() > 246)
        return fail(QStringLiteral("a write takes 1-123 whole registers, %1 bytes given").arg(bytes.size()));
    if (!session.open(error))
        return fail(error);
    return session.run([&](QString &) {
        return bytes.size() == 2 ? session.modbuser().writeRegister(address, bytes.toUInt16(0))
                                 : session.modbuser().writeRegisters(address, bytes);
    });
}

int report(const QStringList &args)
{
    BusSession session;
    QString error;
    if (!session.parse(args, 0, 0, error) || !session.open(error))
        return fail(error);
    return session.run([&](QString &) {
        ModbusBytes bytes;
        if (!session.modbuser().getReport(bytes))
            return false;
        out() << "name: " << TavrexBus::getDevNameFromReportBytes(bytes) << Qt::endl;
        out() << "report: " << hex(bytes) << Qt::endl;
        return true;
    });
}

int file(const QStringList &args)
{
    BusSession session;
    QString error;
    qint64 number = 0;
    qint64 offset = 0;
    qint64 count = 0;
    if (!session.parse(args, 3, 4, error))
        return fail(error);
    const QStringList values = session.positional();
    if (!parseNumber(values.at(0), 0, 255, number) || !parseNumber(values.at(1), 0, 65535, offset)
        || !parseNumber(values.at(2), 1, 120, count))
        return fail(QStringLiteral("file takes a file number 0-255, a register offset and a count 1-120"));
    const QString type = values.value(3, QStringLiteral("hex"));
    if (type != QLatin1String("hex") && type != QLatin1String("string"))
        return fail(QStringLiteral("a file reads as hex or string"));
    if (!session.open(error))
        return fail(error);
    return session.run([&](QString &pollError) {
        ModbusBytes bytes;
        if (!session.modbuser().readFile(quint8(number), quint16(offset), quint8(count), bytes))
            return false;
        out() << "file " << number << " ";
        return printValues(quint32(offset), type, bytes, pollError);
    });
}

int archive(const QStringList &args)
{
    BusSession session;
    session.parser().addOptions({
        { QStringLiteral("time"), QStringLiteral("A time archive; labels are yyyy-MM-ddTHH:mm:ss.") },
        { QStringLiteral("backward"), QStringLiteral("Read towards older records.") },
        { QStringLiteral("records"), QStringLiteral("Number of records."), QStringLiteral("n"), QStringLiteral("1") },
    });
    QString error;
    if (!session.parse(args, 1, 2, error))
        return fail(error);
    qint64 index = 0;
    qint64 records = 0;
    if (!parseNumber(session.positional().at(0), 0, 65535, index)
        || !parseNumber(session.value(QStringLiteral("records")), 1, 250, records))
        return fail(QStringLiteral("archive takes an archive index 0-65535 and --records 1-250"));
    const bool time = session.isSet(QStringLiteral("time"));
    const auto type = time ? TavrexBus::TimeArch : TavrexBus::IndexArch;
    const auto direction = session.isSet(QStringLiteral("backward")) ? TavrexBus::Backward : TavrexBus::Forward;
    const QString labelText = session.positional().value(1);
    qint64 label = 0;
    if (!labelText.isEmpty()) {
        const QDateTime at = QDateTime::fromString(labelText, timeFormat);
        if (time ? !at.isValid() : !parseNumber(labelText, 0, 0xFFFFFFFFll, label))
            return fail(QStringLiteral("\"%1\" is not a %2 label").arg(labelText, time ? QStringLiteral("time") : QStringLiteral("index")));
        if (time)
            label = TavrexBus::archLabelToSeconds(at);
    }
    if (!session.open(error))
        return fail(error);
    return session.run([&](QString &) {
        quint32 from = quint32(label);
        bool found = false;
        if (labelText.isEmpty()) {
            const bool ok = direction == TavrexBus::Forward
                ? session.modbuser().getFirstLabel(quint16(index), type, from, &found)
                : session.modbuser().getLastLabel(quint16(index), type, from, &found);
            if (!ok)
                return false;
            if (!found) {
                out() << "archive " << index << " is empty" << Qt::endl;
                return true;
            }
        }
        QList<ModbusBytes> list;
        if (session.modbuser().readArchRecords67(quint16(index), from, direction, quint16(records), list, type) <= 0)
            return false;
        for (const ModbusBytes &record : std::as_const(list))
            out() << "record: " << hex(record) << Qt::endl;
        return true;
    });
}

int labels(const QStringList &args)
{
    BusSession session;
    session.parser().addOption({ QStringLiteral("time"), QStringLiteral("A time archive.") });
    QString error;
    qint64 index = 0;
    if (!session.parse(args, 1, 1, error))
        return fail(error);
    if (!parseNumber(session.positional().at(0), 0, 65535, index))
        return fail(QStringLiteral("labels takes an archive index 0-65535"));
    const bool time = session.isSet(QStringLiteral("time"));
    if (!session.open(error))
        return fail(error);
    const auto text = [time](quint32 label) {
        return time ? TavrexBus::archLabelToTime(label).toString(timeFormat) : QString::number(label);
    };
    return session.run([&](QString &) {
        quint32 first = 0;
        quint32 last = 0;
        bool found = false;
        const auto type = time ? TavrexBus::TimeArch : TavrexBus::IndexArch;
        if (!session.modbuser().getFirstLabel(quint16(index), type, first, &found)
            || (found && !session.modbuser().getLastLabel(quint16(index), type, last, &found)))
            return false;
        if (found)
            out() << "first: " << text(first) << Qt::endl << "last: " << text(last) << Qt::endl;
        else
            out() << "archive " << index << " is empty" << Qt::endl;
        return true;
    });
}

}
