#include "buscommands.h"

#include "archivetable.h"
#include "bussession.h"
#include "cliconsole.h"
#include "valuecodec.h"

#include <TavrexBus1/modbusarchreader.h>
#include <TavrexBus1/modbusarchrecordekdigital.h>
#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbusclientexecutor.h>
#include <TavrexBus1/modbusreport.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QMetaEnum>
#include <QtCore/QTextStream>

#include <memory>

namespace {

const QString timeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
// Long transfers go in requests of the size a ModbusClient uses.
constexpr int partRegisters = ModbusClientExecutor::MaxRegistersPerRequest;

using CliConsole::fail;
using CliConsole::out;

bool parseNumber(const QString &text, qint64 low, qint64 high, qint64 &value)
{
    bool ok = false;
    value = text.toLongLong(&ok, 0);
    return ok && value >= low && value <= high;
}

// The last register number of the range that address belongs to.
quint32 lastOfRange(quint32 address)
{
    return address < 400001 ? 365536 : 465536;
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

bool checkSpan(quint32 address, qint64 registers, QString &error)
{
    if (address + registers - 1 <= lastOfRange(address))
        return true;
    error = QStringLiteral("%1 registers from %2 pass the last register of its range, %3")
                .arg(registers)
                .arg(address)
                .arg(lastOfRange(address));
    return false;
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

// A string or hex dump of bytes, without the zero bytes that pad a string.
bool dumpText(const QString &type, const ModbusBytes &bytes, QString &text, QString &error)
{
    text = type == QLatin1String("hex") ? hex(bytes) : QString();
    if (type == QLatin1String("string") && !ValueCodec::decode(type, bytes, text, error))
        return false;
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return true;
}

// One line per value ("400001: 42"), or one line for a string or hex dump.
bool printValues(quint32 address, const QString &type, const ModbusBytes &bytes, QString &error)
{
    const int step = registersOf(type);
    QString text;
    if (step == 0) {
        if (!dumpText(type, bytes, text, error))
            return false;
        out() << address << ": " << text << Qt::endl;
        return true;
    }
    for (int pos = 0; pos + step * 2 <= bytes.size(); pos += step * 2) {
        if (!ValueCodec::decode(type, bytes.mid(pos, step * 2), text, error))
            return false;
        out() << address + quint32(pos / 2) << ": " << text << Qt::endl;
    }
    return true;
}

// Reads count registers from start in parts; readPart(start, count, bytes) does one request.
template <typename ReadPart>
bool readInParts(qint64 start, qint64 count, ModbusBytes &bytes, ReadPart readPart)
{
    bytes.clear();
    for (qint64 done = 0; done < count;) {
        const int part = int(std::min<qint64>(count - done, partRegisters));
        ModbusBytes chunk;
        if (!readPart(start + done, part, chunk))
            return false;
        bytes += chunk;
        done += part;
    }
    return true;
}

// The report's printable characters, each run of other bytes shown as one blank.
QString printableText(const ModbusBytes &bytes)
{
    QString text;
    bool gap = false;
    for (const char byte : bytes) {
        const uchar code = uchar(byte);
        if (code < 0x20 || code > 0x7e) {
            gap = true;
            continue;
        }
        if (gap && !text.isEmpty())
            text += QLatin1Char(' ');
        text += QLatin1Char(char(code));
        gap = false;
    }
    return text;
}

QString typeList()
{
    return (ValueCodec::typeNames() << QStringLiteral("hex")).join(QStringLiteral(", "));
}

} // namespace

namespace BusCommands {

int read(const QStringList &args)
{
    BusSession session(QStringLiteral("read"));
    QString error;
    quint32 address = 0;
    if (!session.parse(args, 1, 3, error) || !parseRegister(session.positional().at(0), address, error))
        return fail(error);
    const QString type = session.positional().value(1, QStringLiteral("uint16"));
    if (type != QLatin1String("hex") && !ValueCodec::isKnownType(type))
        return fail(QStringLiteral("unknown type \"%1\" (one of: %2)").arg(type, typeList()));
    qint64 count = 1;
    if (session.positional().size() > 2 && !parseNumber(session.positional().at(2), 1, 65536, count))
        return fail(QStringLiteral("count \"%1\" is not a number of values 1-65536").arg(session.positional().at(2)));
    const qint64 registers = registersOf(type) ? registersOf(type) * count : count;
    if (!checkSpan(address, registers, error) || !session.open(error))
        return fail(error);
    return session.run([&](QString &pollError) {
        ModbusBytes bytes;
        return readInParts(address, registers, bytes,
                           [&](qint64 from, int part, ModbusBytes &chunk) {
                               return session.modbuser().readRegisters(quint32(from), quint16(part), chunk);
                           })
            && printValues(address, type, bytes, pollError);
    });
}

int write(const QStringList &args)
{
    BusSession session(QStringLiteral("write"));
    QString error;
    quint32 address = 0;
    // Hex bytes may come as several arguments.
    if (!session.parse(args, 3, INT_MAX, error) || !parseRegister(session.positional().at(0), address, error))
        return fail(error);
    const QString type = session.positional().at(1);
    if (type != QLatin1String("hex") && session.positional().size() > 3)
        return fail(QStringLiteral("wrong number of arguments; see tavrexbus write --help"));
    if (address < 400001)
        return fail(QStringLiteral("input registers (3xxxxx) cannot be written"));
    ModbusBytes bytes;
    if (type == QLatin1String("hex") ? !ValueCodec::parseHex(session.positional().mid(2), bytes, error)
                                     : !ValueCodec::encode(type, session.positional().at(2), bytes, error))
        return fail(error);
    if (bytes.isEmpty() || bytes.size() % 2)
        return fail(QStringLiteral("a write takes whole registers, %1 bytes given").arg(bytes.size()));
    if (!checkSpan(address, bytes.size() / 2, error) || !session.open(error))
        return fail(error);
    return session.run([&](QString &) {
        if (bytes.size() == 2)
            return session.modbuser().writeRegister(address, bytes.toUInt16(0));
        for (int pos = 0; pos < bytes.size(); pos += partRegisters * 2) {
            if (!session.modbuser().writeRegisters(address + quint32(pos / 2), bytes.mid(pos, partRegisters * 2)))
                return false;
        }
        return true;
    });
}

int report(const QStringList &args)
{
    BusSession session(QStringLiteral("report"));
    QString error;
    if (!session.parse(args, 0, 0, error) || !session.open(error))
        return fail(error);
    return session.run([&](QString &) {
        ModbusBytes bytes;
        if (!session.modbuser().getReport(bytes))
            return false;
        ModbusReport device;
        device.setValue(TavrexBus::getDevNameFromReportBytes(bytes));
        out() << "name: "
              << (device.value().isEmpty() ? QStringLiteral("(none: no zero byte ends a name in the report)")
                                           : device.value())
              << Qt::endl;
        if (!device.deviceName().isEmpty())
            out() << "device: " << device.deviceName() << Qt::endl << "version: " << device.deviceVersion() << Qt::endl;
        out() << "text: " << printableText(bytes) << Qt::endl;
        out() << "report: " << hex(bytes) << Qt::endl;
        return true;
    });
}

int file(const QStringList &args)
{
    BusSession session(QStringLiteral("file"));
    QString error;
    qint64 number = 0;
    qint64 offset = 0;
    qint64 count = 0;
    if (!session.parse(args, 3, 4, error))
        return fail(error);
    const QStringList values = session.positional();
    if (!parseNumber(values.at(0), 0, 255, number) || !parseNumber(values.at(1), 0, 65535, offset)
        || !parseNumber(values.at(2), 1, 65536 - offset, count))
        return fail(QStringLiteral("file takes a file number 0-255, a register offset and a count of registers "
                                   "that stay within the file's 65536 registers"));
    const QString type = values.value(3, QStringLiteral("hex"));
    if (type != QLatin1String("hex") && type != QLatin1String("string"))
        return fail(QStringLiteral("a file reads as hex or string"));
    if (!session.open(error))
        return fail(error);
    return session.run([&](QString &pollError) {
        ModbusBytes bytes;
        QString text;
        if (!readInParts(offset, count, bytes,
                         [&](qint64 from, int part, ModbusBytes &chunk) {
                             return session.modbuser().readFile(quint8(number), quint16(from), quint8(part), chunk);
                         })
            || !dumpText(type, bytes, text, pollError))
            return false;
        out() << "file " << number << ", registers " << offset << "-" << offset + count - 1 << " (" << bytes.size()
              << " bytes): " << text << Qt::endl;
        return true;
    });
}

QList<QCommandLineOption> archiveOptions()
{
    return {
        { QStringLiteral("time"), QStringLiteral("A time archive; labels are yyyy-MM-ddTHH:mm:ss") },
        { QStringLiteral("backward"), QStringLiteral("Read towards older records") },
        { QStringLiteral("records"), QStringLiteral("Number of records, 1-250"), QStringLiteral("n"),
          QStringLiteral("1") },
        { QStringLiteral("from"),
          QStringLiteral("Read the range from this label (a number, or with --time a date-time)"),
          QStringLiteral("label") },
        { QStringLiteral("to"), QStringLiteral("Read the range up to this label"), QStringLiteral("label") },
        { QStringLiteral("function"),
          QStringLiteral("Range: 67 reads the labels the device lists, 65 every label of the period"),
          QStringLiteral("65|67"), QStringLiteral("67") },
        { QStringLiteral("period"),
          QStringLiteral("Range: the archive's interval, second, minute, hour, day, week, decade, month, quarter or "
                         "year"),
          QStringLiteral("interval"), QStringLiteral("hour") },
        { QStringLiteral("generation"), QStringLiteral("Range: decode meter records of generation 1, 2 or 3"),
          QStringLiteral("n") },
        { QStringLiteral("per-request"),
          QStringLiteral("Range: records per request, 1-50 (default: as many as an answer holds)"),
          QStringLiteral("n") },
        { QStringLiteral("csv"), QStringLiteral("Range: print CSV instead of a table") },
    };
}

namespace {

// A range label: a record number, or with --time a date-time or a label number.
bool parseRangeLabel(const QString &text, bool time, QVariant &label)
{
    qint64 number = 0;
    if (parseNumber(text, 0, 0xFFFFFFFFll, number)) {
        label = QVariant(quint32(number));
        return true;
    }
    const QDateTime at = QDateTime::fromString(text, timeFormat);
    label = at;
    return time && at.date().isValid() && at.time().isValid();
}

// Long ranges tell their progress on standard error, every 500 records.
void reportProgress(const ModbusArchReader &reader, int progress)
{
    constexpr int step = 500;
    if (progress / step == (progress - 1) / step && progress != reader.total())
        return;
    if (progress < step)
        return;
    QTextStream &err = CliConsole::err();
    if (reader.total() > 0)
        err << "read " << progress << " of " << reader.total() << " records" << Qt::endl;
    else
        err << "read " << progress << " records" << Qt::endl;
}

// What a range reading asks for besides the archive: its ends, function, period and pacing.
struct RangeRequest
{
    QVariant from;
    QVariant to;
    bool func65 = false;
    int interval = 0;
    qint64 generation = 0;
    qint64 perRequest = 0;
};

bool parseRangeRequest(const BusSession &session, bool time, RangeRequest &request, QString &error)
{
    for (const auto &[option, label] : { std::pair<QString, QVariant *>(QStringLiteral("from"), &request.from),
                                         std::pair<QString, QVariant *>(QStringLiteral("to"), &request.to) }) {
        if (session.isSet(option) && !parseRangeLabel(session.value(option), time, *label)) {
            error = QStringLiteral("--%1 \"%2\" is not a%3 label")
                        .arg(option, session.value(option), time ? " time" : "n index");
            return false;
        }
    }
    const QString function = session.value(QStringLiteral("function"));
    request.func65 = function == QLatin1String("65");
    bool intervalOk = false;
    const QString period = session.value(QStringLiteral("period"));
    const QByteArray key = (period.left(1).toUpper() + period.mid(1).toLower()).toLatin1();
    request.interval = QMetaEnum::fromType<TavrexBus::ArchInterval>().keyToValue(key.constData(), &intervalOk);
    if ((!request.func65 && function != QLatin1String("67")) || !intervalOk
        || (session.isSet(QStringLiteral("generation"))
            && !parseNumber(session.value(QStringLiteral("generation")), 1, 3, request.generation))
        || (session.isSet(QStringLiteral("per-request"))
            && !parseNumber(session.value(QStringLiteral("per-request")), 1, 50, request.perRequest))) {
        error = QStringLiteral("a range takes --function 65 or 67, a --period such as hour or day, "
                               "--generation 1-3 and --per-request 1-50");
        return false;
    }
    if (request.func65 && !request.to.isValid()) {
        error = QStringLiteral("function 65 reads every label of the period and cannot tell where the archive "
                               "ends: give --to");
        return false;
    }
    return true;
}

// A plain record, or with --generation the meter's record of that generation.
std::unique_ptr<ModbusArchRecord> makeRangeRecord(const RangeRequest &request, quint16 index, bool time)
{
    std::unique_ptr<ModbusArchRecord> record;
    if (request.generation > 0) {
        auto *meterRecord = new ModbusArchRecordEkDigital;
        meterRecord->setEkdGeneration(int(request.generation));
        static const int sizes[] = {58, 92, 128};
        meterRecord->setRecordSize(sizes[request.generation - 1]);
        record.reset(meterRecord);
    } else {
        record = std::make_unique<ModbusArchRecord>();
    }
    record->setArchType(time ? TavrexBus::TimeArch : TavrexBus::IndexArch);
    record->setArchIndex(index);
    record->setFunc(request.func65 ? TavrexBus::Func65 : TavrexBus::Func67);
    record->setArchInterval(TavrexBus::ArchInterval(request.interval));
    record->setTimeFormat(timeFormat);
    return record;
}

// Reads the whole range in an event loop of its own, telling the progress on the way.
void runReader(ModbusArchReader &reader, const RangeRequest &request)
{
    reader.setFrom(request.from);
    reader.setTo(request.to);
    // Unless told, the first request learns the record size and the rest fill their answers.
    reader.setRecordsPerRequest(request.perRequest > 0 ? int(request.perRequest) : 1);
    reader.setRecordsPerRequestOptimization(request.perRequest == 0);
    // The records go to the table once, at the end.
    reader.setLiveResult(false);
    QObject::connect(&reader, &ModbusArchReader::progressChanged, &reader,
                     [&reader](int progress) { reportProgress(reader, progress); });
    QObject::connect(&reader, &ModbusArchReader::runningChanged, &reader, [](bool running) {
        if (!running)
            QCoreApplication::exit();
    });
    reader.start();
    if (reader.running())
        QCoreApplication::exec();
}

int readRange(BusSession &session, quint16 index, bool time)
{
    RangeRequest request;
    QString error;
    if (!parseRangeRequest(session, time, request, error))
        return fail(error);
    const std::unique_ptr<ModbusArchRecord> record = makeRangeRecord(request, index, time);
    ModbusClient client;
    if (!session.openForClient(client, error))
        return fail(error);
    record->setClient(&client);
    ModbusArchReader reader;
    reader.setRecord(record.get());
    runReader(reader, request);
    ArchiveTable(reader, *record, time).print(out(), session.isSet(QStringLiteral("csv")));
    if (reader.errorCount() == 0)
        return 0;
    const QString where = reader.stoppedAt().isValid()
        ? QStringLiteral("; stopped at %1 after %2 records")
              .arg(record->getVariantLabel(TavrexBus::getIntLabel(reader.stoppedAt(), timeFormat), true).toString())
              .arg(reader.progress())
        : QString();
    return fail(reader.errorString() + where);
}

// Reads records from a label, or from the archive's first (last) record, in one request.
int readRecords(BusSession &session, quint16 index, quint16 records, bool time)
{
    const auto type = time ? TavrexBus::TimeArch : TavrexBus::IndexArch;
    const auto direction = session.isSet(QStringLiteral("backward")) ? TavrexBus::Backward : TavrexBus::Forward;
    const QString labelText = session.positional().value(1);
    qint64 label = 0;
    if (!labelText.isEmpty()) {
        const QDateTime at = QDateTime::fromString(labelText, timeFormat);
        if (time ? !at.isValid() : !parseNumber(labelText, 0, 0xFFFFFFFFll, label))
            return fail(QStringLiteral("\"%1\" is not %2 label")
                            .arg(labelText, time ? QStringLiteral("a time") : QStringLiteral("an index")));
        if (time)
            label = TavrexBus::archLabelToSeconds(at);
    }
    QString error;
    if (!session.open(error))
        return fail(error);
    return session.run([&](QString &) {
        quint32 from = quint32(label);
        bool found = false;
        if (labelText.isEmpty()) {
            const bool ok = direction == TavrexBus::Forward
                ? session.modbuser().getFirstLabel(index, type, from, &found)
                : session.modbuser().getLastLabel(index, type, from, &found);
            if (!ok)
                return false;
            if (!found) {
                out() << "archive " << index << " is empty" << Qt::endl;
                return true;
            }
        }
        QList<ModbusBytes> list;
        if (session.modbuser().readArchRecords67(index, from, direction, records, list, type) <= 0)
            return false;
        for (const ModbusBytes &record : std::as_const(list))
            out() << "record: " << hex(record) << Qt::endl;
        return true;
    });
}

} // namespace

int archive(const QStringList &args)
{
    BusSession session(QStringLiteral("archive"), archiveOptions());
    QString error;
    if (!session.parse(args, 1, 2, error))
        return fail(error);
    qint64 index = 0;
    qint64 records = 0;
    if (!parseNumber(session.positional().at(0), 0, 65535, index)
        || !parseNumber(session.value(QStringLiteral("records")), 1, 250, records))
        return fail(QStringLiteral("archive takes an archive index 0-65535 and --records 1-250"));
    const bool time = session.isSet(QStringLiteral("time"));
    const QStringList rangeOptions{ "from", "to", "function", "period", "generation", "per-request", "csv" };
    if (std::any_of(rangeOptions.cbegin(), rangeOptions.cend(),
                    [&session](const QString &option) { return session.isSet(option); })) {
        if (session.positional().size() > 1 || session.isSet(QStringLiteral("backward"))
            || session.isSet(QStringLiteral("records")))
            return fail(QStringLiteral("a range reads forward from --from to --to; it takes no label, --records "
                                       "or --backward"));
        return readRange(session, quint16(index), time);
    }
    return readRecords(session, quint16(index), quint16(records), time);
}

QList<QCommandLineOption> labelsOptions()
{
    return { { QStringLiteral("time"), QStringLiteral("A time archive") } };
}

int labels(const QStringList &args)
{
    BusSession session(QStringLiteral("labels"), labelsOptions());
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

int partSize()
{
    return partRegisters;
}

}
