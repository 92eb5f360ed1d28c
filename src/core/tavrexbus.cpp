#include "tavrexbus.h"
#include "modbusbytes.h"
#include "tavrexbuslogging_p.h"

#include <limits>

namespace {

// The logical number of protocol address 0 in the block of logical; 0 for coils.
unsigned int blockBase(unsigned int logical)
{
    if (logical > 400000)
        return 400001;
    if (logical > 300000)
        return 300001;
    if (logical > 200000)
        return 200001;
    if (logical > 100000)
        return 100001;
    return 0;
}

void registerMetaTypes()
{
    qRegisterMetaType<TavrexBus::BusType>("TavrexBus::BusType");
}

// Label arithmetic runs on a UTC date-time holding the wall-clock fields:
// UTC has no daylight-saving gaps or repeats.
QDateTime wallClock(const QDateTime &label)
{
    return QDateTime(label.date(), label.time(), Qt::UTC);
}

// A local date-time inside a daylight-saving gap reads as invalid, yet its fields are a label.
bool hasWallFields(const QDateTime &label)
{
    return label.date().isValid() && label.time().isValid();
}

// Gives the fields back in the Qt::TimeSpec of the original label.
QDateTime withFields(const QDateTime &label, const QDateTime &fields)
{
    QDateTime result(label);
    result.setDate(fields.date());
    result.setTime(fields.time());
    return result;
}

bool inLabelRange(const QDateTime &wall)
{
    if (!wall.isValid())
        return false;
    const qint64 seconds = wall.toSecsSinceEpoch();
    return seconds >= TavrexBus::MinTimeLabel && seconds <= TavrexBus::MaxTimeLabel;
}

unsigned int secondsOf(const QDateTime &wall)
{
    if (!wall.isValid())
        return TavrexBus::InvalidTimeLabel;
    const qint64 seconds = wall.toSecsSinceEpoch();
    if (seconds < 0 || seconds >= TavrexBus::InvalidTimeLabel)
        return TavrexBus::InvalidTimeLabel;
    return static_cast<unsigned int>(seconds);
}

QDateTime wallOf(unsigned int seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

bool knownInterval(TavrexBus::ArchInterval interval)
{
    return interval >= TavrexBus::Second && interval <= TavrexBus::Year;
}

void warnUnknownInterval()
{
    qCWarning(lcCore) << TavrexBus::tr("getNextLabel: unknown interval");
}

// Length in seconds of the intervals that have one; 0 for calendar intervals.
qint64 fixedLength(TavrexBus::ArchInterval interval)
{
    switch (interval) {
    case TavrexBus::Second: return 1;
    case TavrexBus::Minute: return 60;
    case TavrexBus::Hour: return 3600;
    case TavrexBus::Day: return 86400;
    case TavrexBus::Week: return 7 * 86400;
    case TavrexBus::Decade: return 10 * 86400;
    default: return 0;
    }
}

// Steps so large that they leave the label range anyway are capped, keeping
// the calendar arithmetic far from overflow.
QDateTime stepWall(const QDateTime &wall, TavrexBus::ArchInterval interval, qint64 step)
{
    const qint64 length = fixedLength(interval);
    if (length > 0)
        return wall.addSecs(qBound<qint64>(-10'000'000'000LL, step, 10'000'000'000LL) * length);
    const int months = int(qBound(qint64(-100'000), step, qint64(100'000)));
    switch (interval) {
    case TavrexBus::Month: return wall.addMonths(months);
    case TavrexBus::Quarter: return wall.addMonths(months * 3);
    case TavrexBus::Year: return wall.addYears(months);
    default: return wall;
    }
}

QDateTime stepChecked(const QDateTime &wall, TavrexBus::ArchInterval interval, qint64 step,
                      bool *ok)
{
    QDateTime result = wall;
    if (knownInterval(interval))
        result = stepWall(wall, interval, step);
    else
        warnUnknownInterval();
    if (ok)
        *ok = inLabelRange(result);
    return result;
}

QDateTime normalizedWall(const QDateTime &wall, TavrexBus::ArchInterval interval)
{
    const QDate date = wall.date();
    const QTime time = wall.time();
    switch (interval) {
    case TavrexBus::Second:
        return QDateTime(date, QTime(time.hour(), time.minute(), time.second()), Qt::UTC);
    case TavrexBus::Minute:
        return QDateTime(date, QTime(time.hour(), time.minute()), Qt::UTC);
    case TavrexBus::Hour:
        return QDateTime(date, QTime(time.hour(), 0), Qt::UTC);
    case TavrexBus::Day:
        return QDateTime(date, QTime(0, 0), Qt::UTC);
    case TavrexBus::Week:
        return QDateTime(date.addDays(1 - date.dayOfWeek()), QTime(0, 0), Qt::UTC);
    case TavrexBus::Decade:
        return QDateTime(QDate(date.year(), date.month(), qMin(21, (date.day() - 1) / 10 * 10 + 1)),
                         QTime(0, 0), Qt::UTC);
    case TavrexBus::Month:
        return QDateTime(QDate(date.year(), date.month(), 1), QTime(0, 0), Qt::UTC);
    case TavrexBus::Quarter:
        return QDateTime(QDate(date.year(), (date.month() - 1) / 3 * 3 + 1, 1), QTime(0, 0), Qt::UTC);
    case TavrexBus::Year:
        return QDateTime(QDate(date.year(), 1, 1), QTime(0, 0), Qt::UTC);
    }
    return wall;
}

int countLabels(const QDateTime &from, const QDateTime &to, TavrexBus::ArchInterval interval)
{
    if (!knownInterval(interval)) {
        warnUnknownInterval();
        return 0;
    }
    if (!from.isValid() || !to.isValid() || from > to)
        return 0;
    const qint64 length = fixedLength(interval);
    QDateTime next = stepWall(from, interval, 1);
    if (!inLabelRange(next) || next > to)
        return 1;
    if (length > 0) {
        // Every label after the first lies in the label range up to the last.
        const QDateTime last = qMin(to, wallOf(TavrexBus::MaxTimeLabel));
        const qint64 more = (last.toMSecsSinceEpoch() - next.toMSecsSinceEpoch()) / (length * 1000) + 1;
        return int(qMin<qint64>(more + 1, std::numeric_limits<int>::max()));
    }
    int count = 1;
    while (inLabelRange(next) && next <= to) {
        ++count;
        next = stepWall(next, interval, 1);
    }
    return count;
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(registerMetaTypes)

TavrexBus::TavrexBus(QObject *parent)
    : QObject(parent)
{
}

QString TavrexBus::functionCodeStr(FunctionCode code)
{
    switch (code) {
    case UnknownFunction: return QObject::tr("unknown function code");
    case ReadCoils: return QObject::tr("read coils");
    case ReadDiscreteInputs: return QObject::tr("read discrete inputs");
    case ReadHoldingRegisters: return QObject::tr("read holding registers");
    case ReadInputRegisters: return QObject::tr("read input registers");
    case WriteSingleCoil: return QObject::tr("write single coil");
    case WriteSingleRegister: return QObject::tr("write single register");
    case ReadExceptionStatus: return QObject::tr("read exception status");
    case Diagnostics: return QObject::tr("diagnostics");
    case GetComEventCounter: return QObject::tr("get COM event counter");
    case GetComEventLog: return QObject::tr("get COM event log");
    case WriteMultipleCoils: return QObject::tr("write multiple coils");
    case WriteMultipleRegisters: return QObject::tr("write multiple registers");
    case ReportSlaveId: return QObject::tr("report salve ID");
    case ReadFileRecord: return QObject::tr("read file record");
    case WriteFileRecord: return QObject::tr("write file record");
    case MaskWriteRegister: return QObject::tr("mask write register");
    case ReadWriteMultipleRegisters: return QObject::tr("read/write multiple registers");
    case ReadFifoQueue: return QObject::tr("read FIFO queue");
    case ReadDeviceIdentification: return QObject::tr("read device identification");
    case ReadArchRecord65: return QObject::tr("read arch record (65)");
    case ReadArchPresence66: return QObject::tr("read arch records presence");
    case ReadArchRecord67: return QObject::tr("read arch record (67)");
    }
    return QStringLiteral("?");
}

QString TavrexBus::exceptionCodeStr(ExceptionCode code)
{
    switch (code) {
    case NoException: return tr("no exceptions");
    case IllegalFunction: return tr("illegal function");
    case IllegalDataAddress: return tr("illegal data address");
    case IllegalDataValue: return tr("illegal data value");
    case SlaveDeviceFailure: return tr("slave device failure");
    case Acknowledge: return tr("acknowledge");
    case SlaveDeviceBusy: return tr("slave device busy");
    case MemoryParityError: return tr("memory parity error");
    case GatewayPathUnavailable: return tr("gateway path unavailable");
    case GatewayTargetFailed: return tr("gateway target device failed to respond");
    }
    return QStringLiteral("?");
}

QString TavrexBus::packetStateStr(PacketState state)
{
    switch (state) {
    case Request: return QStringLiteral("request");
    case Response: return QStringLiteral("response");
    }
    return QStringLiteral("?");
}

QString TavrexBus::packetKindStr(PacketKind kind)
{
    switch (kind) {
    case RegistersPacket: return QStringLiteral("registers packet");
    case ArchivePacket: return QStringLiteral("archive packet");
    case ReportSlavePacket: return QStringLiteral("report slave packet");
    default: return QStringLiteral("?");
    }
}

QString TavrexBus::busTypeStr(BusType type)
{
    switch (type) {
    case ClientBus: return QStringLiteral("modbus client");
    case ServerBus: return QStringLiteral("modbus server");
    }
    return QStringLiteral("?");
}

QString TavrexBus::archTypeStr(ArchType type)
{
    switch (type) {
    case IndexArch: return QStringLiteral("index archive");
    case TimeArch: return QStringLiteral("time archive");
    }
    return QStringLiteral("?");
}

QString TavrexBus::archDirectionStr(ArchDirection direction)
{
    switch (direction) {
    case Forward: return QStringLiteral("forward");
    case Backward: return QStringLiteral("backward");
    }
    return QStringLiteral("?");
}

QString TavrexBus::modbusAddressTypeStr(ModbusAddressType type)
{
    switch (type) {
    case DiscreteInputs: return QObject::tr("discrete inputs");
    case Coils: return QObject::tr("coils");
    case InputRegisters: return QObject::tr("input registers");
    case HoldingRegisters: return QObject::tr("holding registers");
    }
    return QStringLiteral("?");
}

TavrexBus::RegisterType TavrexBus::getRegisterType(unsigned int logical)
{
    return logical >= 300000 && logical <= 399999 ? InputRegister : HoldingRegister;
}

TavrexBus::RegisterType TavrexBus::getRegisterType(FunctionCode code)
{
    return code == ReadInputRegisters ? InputRegister : HoldingRegister;
}

bool TavrexBus::isHolding(unsigned int logical)
{
    return getRegisterType(logical) == HoldingRegister;
}

bool TavrexBus::isInput(unsigned int logical)
{
    return getRegisterType(logical) == InputRegister;
}

TavrexBus::FunctionCode TavrexBus::getReadRegFunctionCode(unsigned int logical)
{
    return isInput(logical) ? ReadInputRegisters : ReadHoldingRegisters;
}

TavrexBus::ModbusAddressType TavrexBus::getAddressType(unsigned int logical)
{
    if (logical > 400000)
        return HoldingRegisters;
    if (logical > 300000)
        return InputRegisters;
    if (logical > 100000)
        return DiscreteInputs;
    return Coils;
}

int TavrexBus::getBytesInAddress(unsigned int logical)
{
    const ModbusAddressType type = getAddressType(logical);
    return type == InputRegisters || type == HoldingRegisters ? 2 : 1;
}

bool TavrexBus::isReadOnly(unsigned int logical)
{
    const ModbusAddressType type = getAddressType(logical);
    return type == DiscreteInputs || type == InputRegisters;
}

unsigned int TavrexBus::absToLog(unsigned short abs, RegisterType type)
{
    return abs + (type == InputRegister ? 300001u : 400001u);
}

unsigned int TavrexBus::absToLog(unsigned short abs, FunctionCode code)
{
    return absToLog(abs, getRegisterType(code));
}

unsigned short TavrexBus::logToAbs(unsigned int logical)
{
    const unsigned int base = blockBase(logical);
    return base == 0 ? 0 : static_cast<unsigned short>((logical - base) & 0xFFFF);
}

bool TavrexBus::checkRegisterRange(unsigned int logical, unsigned int count, QString *error)
{
    const unsigned int base = blockBase(logical);
    const quint64 pastRange = quint64(base) + 0x10000;
    const quint64 last = quint64(logical) + qMax(count, 1u) - 1;
    if (base == 0 || last < pastRange)
        return true;
    if (error)
        *error = tr("register %1 is out of the 16-bit address range").arg(qMax(quint64(logical), pastRange));
    return false;
}

bool TavrexBus::checkDeviceAddress(int address, QString *error)
{
    if (address >= 0 && address <= 255)
        return true;
    if (error)
        *error = tr("device address %1 is out of range 0-255").arg(address);
    return false;
}

unsigned int TavrexBus::archLabelToSeconds(const QDateTime &label)
{
    return hasWallFields(label) ? secondsOf(wallClock(label)) : InvalidTimeLabel;
}

QDateTime TavrexBus::archLabelToTime(unsigned int seconds)
{
    const QDateTime wall = wallOf(seconds);
    return QDateTime(wall.date(), wall.time(), Qt::LocalTime);
}

void TavrexBus::normalizeArchLabel(QDateTime &label, ArchInterval interval)
{
    label = normalizedArchLabel(label, interval);
}

QDateTime TavrexBus::normalizedArchLabel(const QDateTime &label, ArchInterval interval)
{
    if (!hasWallFields(label))
        return label;
    return withFields(label, normalizedWall(wallClock(label), interval));
}

void TavrexBus::normalizeArchLabel(unsigned int &label, ArchType type, ArchInterval interval)
{
    label = normalizedArchLabel(label, type, interval);
}

unsigned int TavrexBus::normalizedArchLabel(unsigned int label, ArchType type, ArchInterval interval)
{
    if (type != TimeArch)
        return label;
    return secondsOf(normalizedWall(wallOf(label), interval));
}

QDateTime TavrexBus::getNextTimeLabel(const QDateTime &label, ArchInterval interval, bool *ok,
                                      unsigned int step)
{
    return withFields(label, stepChecked(wallClock(label), interval, step, ok));
}

unsigned int TavrexBus::getNextTimeLabel(unsigned int label, ArchInterval interval, bool *ok,
                                         unsigned int step)
{
    return secondsOf(stepChecked(wallOf(label), interval, step, ok));
}

QDateTime TavrexBus::getPrevTimeLabel(const QDateTime &label, ArchInterval interval, bool *ok,
                                      unsigned int step)
{
    return withFields(label, stepChecked(wallClock(label), interval, -qint64(step), ok));
}

unsigned int TavrexBus::getPrevTimeLabel(unsigned int label, ArchInterval interval, bool *ok,
                                         unsigned int step)
{
    return secondsOf(stepChecked(wallOf(label), interval, -qint64(step), ok));
}

unsigned int TavrexBus::getNextLabel(unsigned int label, ArchType type, ArchInterval interval,
                                     bool *ok, unsigned int step, ArchDirection direction)
{
    if (direction == Backward)
        return getPrevLabel(label, type, interval, ok, step);
    switch (type) {
    case IndexArch:
        if (ok)
            *ok = label <= std::numeric_limits<unsigned int>::max() - step;
        return label + step;
    case TimeArch:
        return getNextTimeLabel(label, interval, ok, step);
    }
    return label;
}

unsigned int TavrexBus::getPrevLabel(unsigned int label, ArchType type, ArchInterval interval,
                                     bool *ok, unsigned int step)
{
    switch (type) {
    case IndexArch:
        if (ok)
            *ok = label >= step;
        return label - step;
    case TimeArch:
        return getPrevTimeLabel(label, interval, ok, step);
    }
    return label;
}

int TavrexBus::getLabelsBetween(const QDateTime &from, const QDateTime &to, ArchInterval interval)
{
    if (!hasWallFields(from) || !hasWallFields(to))
        return 0;
    return countLabels(wallClock(from), wallClock(to), interval);
}

int TavrexBus::getLabelsBetween(unsigned int from, unsigned int &to, ArchType type,
                                ArchInterval interval)
{
    switch (type) {
    case IndexArch:
        return int(qBound(qint64(0), qint64(to) - from + 1, qint64(std::numeric_limits<int>::max())));
    case TimeArch:
        return countLabels(wallOf(from), wallOf(to), interval);
    }
    return 0;
}

QString TavrexBus::defaultLabelFormat()
{
    return QStringLiteral("yyyy-MM-dd hh:mm:ss");
}

QVariant TavrexBus::getVariantLabel(unsigned int label, ArchType type, bool asText,
                                    const QString &format)
{
    switch (type) {
    case IndexArch:
        return QVariant(label);
    case TimeArch: {
        const QDateTime local = archLabelToTime(label);
        if (!asText)
            return QVariant(local);
        // A label in a daylight-saving gap has no local instant to format, only its fields.
        return QVariant(local.isValid() ? local.toString(format) : wallOf(label).toString(format));
    }
    }
    return QVariant();
}

unsigned int TavrexBus::getIntLabel(const QVariant &label, const QString &format)
{
    if (label.metaType().id() == QMetaType::QDateTime)
        return archLabelToSeconds(label.toDateTime());
    const QDateTime parsed = QDateTime::fromString(label.toString(), format);
    if (hasWallFields(parsed))
        return archLabelToSeconds(parsed);
    bool ok = false;
    const unsigned int value = label.toUInt(&ok);
    return ok ? value : 0;
}

QString TavrexBus::normalizeBinary(const QString &value, int needSize)
{
    return value.rightJustified(needSize, QLatin1Char('0'));
}

QString TavrexBus::getDevNameFromReportBytes(const ModbusBytes &bytes)
{
    const qsizetype end = bytes.indexOf('\0');
    return end >= 1 ? QString::fromLatin1(bytes.constData(), end) : QString();
}

ModbusBytes TavrexBus::setDevNameToReportBytes(const ModbusBytes &bytes, const QString &name)
{
    ModbusBytes result(bytes);
    const QByteArray text = name.toLatin1();
    if (text.size() >= result.size())
        result.QByteArray::resize(text.size() + 1, '\0');
    result.replace(0, text.size() + 1, text + '\0');
    return result;
}

QString TavrexBus::version()
{
    return QStringLiteral("1.1.6505");
}
