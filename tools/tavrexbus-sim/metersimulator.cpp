#include "metersimulator.h"

#include "valuecodec.h"

#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbuspacket.h>
#include <TavrexBus1/modbustranslateoptions.h>

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

#include <cmath>

namespace {

constexpr int MaxRecordBytes = 250;

QString hex(const ModbusBytes &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString directionText(TavrexBus::ArchDirection direction)
{
    return direction == TavrexBus::Backward ? QStringLiteral("backward") : QStringLiteral("forward");
}

// Counters keep whole units; the rest keep the type's own precision.
ModbusBytes numberBytes(const QString &type, double value)
{
    const double whole = std::floor(value);
    if (type == QLatin1String("float"))
        return ModbusBytes::fromFloat(float(value));
    if (type == QLatin1String("double"))
        return ModbusBytes::fromDouble(value);
    if (type == QLatin1String("int16"))
        return ModbusBytes::fromInt16(short(whole));
    if (type == QLatin1String("uint16"))
        return ModbusBytes::fromUInt16(ushort(whole));
    if (type == QLatin1String("int32"))
        return ModbusBytes::fromInt32(int(whole));
    return ModbusBytes::fromUInt32(uint(whole));
}

} // namespace

MeterSimulator::MeterSimulator(QObject *parent)
    : QObject(parent)
{
    m_uptime.start();
}

namespace {

// Names a map entry in messages: "register entry 3".
QString entryName(const QString &kind, int index)
{
    return QStringLiteral("%1 entry %2").arg(kind).arg(index + 1);
}

// A misspelt key would otherwise be ignored and its default used without a word.
bool checkKeys(const QJsonObject &object, const QStringList &known, const QString &where, QString *error)
{
    for (const QString &key : object.keys()) {
        if (!known.contains(key)) {
            *error = QStringLiteral("%1: unknown key \"%2\" (known: %3)")
                         .arg(where, key, known.join(QStringLiteral(", ")));
            return false;
        }
    }
    return true;
}

// The entries of one list of the map, each an object with known keys.
bool entriesOf(const QJsonObject &root, const QString &list, const QString &kind, const QStringList &known,
               QList<QJsonObject> &entries, QString *error)
{
    const QJsonValue value = root.value(list);
    if (!value.isUndefined() && !value.isArray()) {
        *error = QStringLiteral("register map: \"%1\" must be an array").arg(list);
        return false;
    }
    const QJsonArray array = value.toArray();
    for (int i = 0; i < array.size(); ++i) {
        if (!array.at(i).isObject()) {
            *error = QStringLiteral("%1 is not an object").arg(entryName(kind, i));
            return false;
        }
        if (!checkKeys(array.at(i).toObject(), known, entryName(kind, i), error))
            return false;
        entries << array.at(i).toObject();
    }
    return true;
}

// One value of a register entry: its value in its type, or the time of day; cut or padded to its length.
bool entryBytes(const QJsonObject &entry, const QString &type, const QString &where, ModbusBytes &bytes,
                QString *error)
{
    const QJsonValue value = entry.value(QLatin1String("value"));
    const QString text = value.isString() ? value.toString() : QString::number(value.toDouble(), 'g', 17);
    if (entry.value(QLatin1String("clock")).toBool()) {
        bytes = ModbusBytes::fromDateTime(QDateTime::currentDateTime());
    } else if (!ValueCodec::encode(type, text, bytes, *error)) {
        *error = QStringLiteral("%1: %2").arg(where, *error);
        return false;
    }
    const int length = entry.value(QLatin1String("length")).toInt(0);
    if (length > 0)
        bytes = bytes.left(length * 2).leftJustified(length * 2, '\0');
    return true;
}

// Records that the entry where, at address, describes registers address..last; no register has two entries.
bool claimRegisters(QHash<quint32, QString> &owners, const QString &where, quint32 address, quint32 last,
                    QString *error)
{
    for (quint32 reg = address; reg <= last; ++reg) {
        const auto owner = owners.constFind(reg);
        if (owner != owners.cend()) {
            *error = QStringLiteral("%1 and %2 (address %3) both describe register %4")
                         .arg(*owner, where)
                         .arg(address)
                         .arg(reg);
            return false;
        }
        owners.insert(reg, QStringLiteral("%1 (address %2)").arg(where).arg(address));
    }
    return true;
}

} // namespace

bool MeterSimulator::load(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        *error = parseError.error != QJsonParseError::NoError
            ? QStringLiteral("register map is not valid JSON: %1 at offset %2")
                  .arg(parseError.errorString())
                  .arg(parseError.offset)
            : QStringLiteral("register map must be a JSON object");
        return false;
    }
    const QJsonObject root = document.object();
    QList<QJsonObject> registers;
    QList<QJsonObject> files;
    QList<QJsonObject> archives;
    const QString comment = QStringLiteral("comment");
    if (!checkKeys(root, { "name", "version", "registers", "files", "archives", comment }, "register map", error)
        || !entriesOf(root, "registers", "register",
                      { "address", "type", "value", "length", "count", "rate", "swing", "clock", comment }, registers,
                      error)
        || !entriesOf(root, "files", "file", { "number", "text", "registers", comment }, files, error)
        || !entriesOf(root, "archives", "archive",
                      { "index", "type", "records", "interval", "last", "generation", "heat", "gaps", comment },
                      archives, error))
        return false;
    m_name = root.value(QLatin1String("name")).toString(QStringLiteral("simulator"));
    m_version = root.value(QLatin1String("version")).toString();
    m_registers.clear();
    m_live.clear();
    m_files.clear();
    m_archives.clear();
    QHash<quint32, QString> owners;
    for (int i = 0; i < registers.size(); ++i) {
        if (!loadRegister(registers.at(i), i, owners, error))
            return false;
    }
    QHash<int, int> fileOwners;
    for (int i = 0; i < files.size(); ++i) {
        if (!loadFile(files.at(i), i, fileOwners, error))
            return false;
    }
    QHash<int, int> archiveOwners;
    for (int i = 0; i < archives.size(); ++i) {
        if (!loadArchive(archives.at(i), i, archiveOwners, error))
            return false;
    }
    return true;
}

bool MeterSimulator::loadRegister(const QJsonObject &entry, int index, QHash<quint32, QString> &owners,
                                  QString *error)
{
    const QString where = entryName(QStringLiteral("register"), index);
    const QJsonValue addressValue = entry.value(QLatin1String("address"));
    const qint64 address = addressValue.toInteger(-1);
    const QString type = entry.value(QLatin1String("type")).toString(QStringLiteral("uint16"));
    const bool input = address >= 300001 && address <= 365536;
    const bool holding = address >= 400001 && address <= 465536;
    if (!input && !holding) {
        *error = addressValue.isUndefined()
            ? QStringLiteral("%1 has no address").arg(where)
            : QStringLiteral("%1: address %2 is not a register number (300001-365536 or 400001-465536)")
                  .arg(where, addressValue.isDouble() ? QString::number(address) : addressValue.toVariant().toString());
        return false;
    }
    if (!ValueCodec::isKnownType(type)) {
        *error = QStringLiteral("%1: unknown type \"%2\" (one of: %3)")
                     .arg(where, type, ValueCodec::typeNames().join(QStringLiteral(", ")));
        return false;
    }
    ModbusBytes bytes;
    if (!entryBytes(entry, type, where, bytes, error))
        return false;
    const int count = qMax(1, entry.value(QLatin1String("count")).toInt(1));
    const qint64 last = address + qint64(count) * (bytes.size() / 2) - 1;
    if (last > (input ? 365536 : 465536)) {
        *error = QStringLiteral("%1: registers %2-%3 run past the end of their range")
                     .arg(where)
                     .arg(address)
                     .arg(last);
        return false;
    }
    if (!claimRegisters(owners, where, quint32(address), quint32(last), error))
        return false;
    for (int i = 0; i < count; ++i)
        store(quint32(address + i * (bytes.size() / 2)), bytes);
    const double rate = entry.value(QLatin1String("rate")).toDouble();
    const double swing = entry.value(QLatin1String("swing")).toDouble();
    const bool clock = entry.value(QLatin1String("clock")).toBool();
    if (clock || rate != 0 || swing != 0)
        m_live.append({ quint32(address), type, entry.value(QLatin1String("value")).toDouble(), rate, swing, clock });
    return true;
}

bool MeterSimulator::loadFile(const QJsonObject &entry, int index, QHash<int, int> &owners, QString *error)
{
    const QString where = entryName(QStringLiteral("file"), index);
    const int number = entry.value(QLatin1String("number")).toInt(-1);
    if (number < 0 || number > 255) {
        *error = QStringLiteral("%1: file number %2 is not 0-255").arg(where).arg(number);
        return false;
    }
    if (owners.contains(number)) {
        *error = QStringLiteral("%1 and %2 both describe file %3")
                     .arg(entryName(QStringLiteral("file"), owners.value(number)), where)
                     .arg(number);
        return false;
    }
    owners.insert(number, index);
    ModbusBytes bytes = ModbusBytes::fromStringUtf8(entry.value(QLatin1String("text")).toString());
    bytes.alignToWord(true);
    const int registers = entry.value(QLatin1String("registers")).toInt(int(bytes.size() / 2));
    m_files.insert(quint8(number), bytes.leftJustified(registers * 2, '\0'));
    return true;
}

bool MeterSimulator::loadArchive(const QJsonObject &entry, int index, QHash<int, int> &owners, QString *error)
{
    const QString where = entryName(QStringLiteral("archive"), index);
    const int archIndex = entry.value(QLatin1String("index")).toInt(-1);
    if (archIndex < 0 || archIndex > 65535) {
        *error = QStringLiteral("%1: needs an index 0-65535").arg(where);
        return false;
    }
    if (owners.contains(archIndex)) {
        *error = QStringLiteral("%1 and %2 both describe archive %3")
                     .arg(entryName(QStringLiteral("archive"), owners.value(archIndex)), where)
                     .arg(archIndex);
        return false;
    }
    owners.insert(archIndex, index);
    SimArchive archive;
    if (!SimArchive::load(entry, where, archive, error))
        return false;
    m_archives.insert(quint16(archIndex), archive);
    return true;
}

void MeterSimulator::store(quint32 address, const ModbusBytes &bytes)
{
    for (int i = 0; i + 1 < bytes.size(); i += 2)
        m_registers.insert(address + quint32(i / 2), bytes.toUInt16(i));
}

void MeterSimulator::refresh(const Live &live)
{
    const double seconds = double(m_uptime.elapsed()) / 1000.0;
    if (live.clock) {
        store(live.address, ModbusBytes::fromDateTime(QDateTime::currentDateTime()));
        return;
    }
    const double value = live.value + live.rate * seconds + live.swing * std::sin(seconds / 10.0);
    store(live.address, numberBytes(live.type, value));
}

QString MeterSimulator::deviceName() const
{
    return m_version.isEmpty() ? m_name : m_name + QLatin1Char(' ') + m_version;
}

bool MeterSimulator::readRegisters(quint32 address, quint16 count, ModbusBytes &out)
{
    for (const Live &live : std::as_const(m_live)) {
        if (live.address < address + count && live.address + 4 > address)
            refresh(live);
    }
    ModbusBytes bytes;
    for (quint32 i = address; i < address + count; ++i) {
        const auto it = m_registers.constFind(i);
        if (it == m_registers.cend())
            return false;
        bytes.appendUInt16(*it);
    }
    out = bytes;
    return true;
}

const SimArchive *MeterSimulator::archive(quint16 archIndex) const
{
    const auto it = m_archives.constFind(archIndex);
    return it == m_archives.cend() ? nullptr : &*it;
}

void MeterSimulator::serve(Modbuser &modbuser)
{
    connect(&modbuser, &Modbuser::onReadRegisters, this, &MeterSimulator::onReadRegisters, Qt::DirectConnection);
    connect(&modbuser, &Modbuser::onWriteRegisters, this, &MeterSimulator::onWriteRegisters, Qt::DirectConnection);
    connect(&modbuser, &Modbuser::onGetDevName, this, &MeterSimulator::onGetDevName, Qt::DirectConnection);
    connect(&modbuser, &Modbuser::onReadFile, this, &MeterSimulator::onReadFile, Qt::DirectConnection);
    connect(&modbuser, &Modbuser::onWriteFile, this, &MeterSimulator::onWriteFile, Qt::DirectConnection);
    connect(&modbuser, &Modbuser::onReadArchRecords, this, &MeterSimulator::onReadArchRecords,
            Qt::DirectConnection);
    connect(&modbuser, &Modbuser::onReadArchPresence, this, &MeterSimulator::onReadArchPresence,
            Qt::DirectConnection);
    connect(&modbuser.translator(), &ModbusTranslator::packetReceived, this, &MeterSimulator::onPacketReceived,
            Qt::DirectConnection);
}

void MeterSimulator::onPacketReceived(const ModbusPacket &packet, const ModbusTarget *target)
{
    Q_UNUSED(target);
    m_requestFunction = packet.functionCode();
}

void MeterSimulator::onReadRegisters(quint32 address, quint16 count, ModbusBytes &out,
                                     ModbusTranslateOptions &options, bool &handled)
{
    handled = true;
    const bool ok = readRegisters(address, count, out);
    if (!ok)
        options.setAnswerExceptionCode(TavrexBus::IllegalDataAddress);
    emit served(QStringLiteral("unit %1 read %2 x%3: %4")
                    .arg(options.requestAddress())
                    .arg(address)
                    .arg(count)
                    .arg(ok ? hex(out) : QStringLiteral("illegal data address")));
}

void MeterSimulator::onWriteRegisters(quint32 address, ModbusBytes values, ModbusTranslateOptions &options,
                                      bool &handled)
{
    handled = true;
    bool ok = address >= 400001;
    for (quint32 i = 0; ok && i < quint32(values.size() / 2); ++i)
        ok = m_registers.contains(address + i);
    if (ok)
        store(address, values);
    else
        options.setAnswerExceptionCode(TavrexBus::IllegalDataAddress);
    emit served(QStringLiteral("unit %1 write %2: %3%4")
                    .arg(options.requestAddress())
                    .arg(address)
                    .arg(hex(values), ok ? QString() : QStringLiteral(" (illegal data address)")));
}

void MeterSimulator::onGetDevName(QString &name, ModbusTranslateOptions &options, bool &handled)
{
    handled = true;
    name = deviceName();
    emit served(QStringLiteral("unit %1 report: %2").arg(options.requestAddress()).arg(name));
}

void MeterSimulator::onReadFile(quint8 file, quint16 start, quint8 count, ModbusBytes &out,
                                ModbusTranslateOptions &options, bool &handled)
{
    handled = true;
    const auto it = m_files.constFind(file);
    const bool ok = it != m_files.cend() && (start + count) * 2 <= it->size();
    if (ok)
        out = it->mid(start * 2, count * 2);
    else
        options.setAnswerExceptionCode(TavrexBus::IllegalDataAddress);
    emit served(QStringLiteral("unit %1 read file %2 at %3 x%4: %5")
                    .arg(options.requestAddress())
                    .arg(file)
                    .arg(start)
                    .arg(count)
                    .arg(ok ? hex(out) : QStringLiteral("illegal data address")));
}

void MeterSimulator::onWriteFile(quint8 file, quint16 start, ModbusBytes values, ModbusTranslateOptions &options,
                                 bool &handled)
{
    handled = true;
    const auto it = m_files.find(file);
    const bool ok = it != m_files.end() && start * 2 + values.size() <= it->size();
    if (ok)
        it->replace(start * 2, values.size(), values);
    else
        options.setAnswerExceptionCode(TavrexBus::IllegalDataAddress);
    emit served(QStringLiteral("unit %1 write file %2 at %3: %4%5")
                    .arg(options.requestAddress())
                    .arg(file)
                    .arg(start)
                    .arg(hex(values), ok ? QString() : QStringLiteral(" (illegal data address)")));
}

// Answers "illegal data address" for an archive the meter does not keep.
const SimArchive *MeterSimulator::findArchive(quint16 archIndex, TavrexBus::ArchType type,
                                                           ModbusTranslateOptions &options)
{
    const auto it = m_archives.constFind(archIndex);
    if (it != m_archives.cend() && it->type() == type)
        return &*it;
    options.setAnswerExceptionCode(TavrexBus::IllegalDataAddress);
    emit served(QStringLiteral("unit %1 archive %2: no such archive").arg(options.requestAddress()).arg(archIndex));
    return nullptr;
}

void MeterSimulator::onReadArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                                       quint16 count, QList<ModbusBytes> &out, ModbusTranslateOptions &options,
                                       TavrexBus::ArchType type, bool &handled)
{
    handled = true;
    const SimArchive *archive = findArchive(archIndex, type, options);
    if (!archive)
        return;
    const bool byLabel = m_requestFunction == TavrexBus::ReadArchRecord65;
    out = byLabel ? archive->recordsAt(label, count) : archive->recordsFrom(label, direction, count);
    // An answer carries at most 250 bytes of records; a meter refuses a request for more.
    if (count * archive->recordSize() > MaxRecordBytes) {
        out.clear();
        options.setAnswerExceptionCode(TavrexBus::IllegalDataValue);
    }
    emit served(QStringLiteral("unit %1 archive %2 records from %3 %4 x%5: %6 found")
                    .arg(options.requestAddress())
                    .arg(archIndex)
                    .arg(label)
                    .arg(byLabel ? QStringLiteral("by label") : directionText(direction))
                    .arg(count)
                    .arg(out.size()));
}

void MeterSimulator::onReadArchPresence(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction,
                                        quint16 count, QList<quint32> &out, ModbusTranslateOptions &options,
                                        TavrexBus::ArchType type, bool &handled)
{
    handled = true;
    const SimArchive *archive = findArchive(archIndex, type, options);
    if (!archive)
        return;
    out = archive->labelsFrom(label, direction, count);
    emit served(QStringLiteral("unit %1 archive %2 labels from %3 %4 x%5: %6 found")
                    .arg(options.requestAddress())
                    .arg(archIndex)
                    .arg(label)
                    .arg(directionText(direction))
                    .arg(count)
                    .arg(out.size()));
}
