#include "modbusarchrecordekdigital.h"

#include "ekdigitallayout_p.h"

#include <cmath>
#include <type_traits>

namespace {

// When a column is in the model: always, with a heat channel from generation 2, or from generation 3.
enum Need { Always, Heat, Heat3 };

// A column caption is its text, then a unit, a symbol and up to two more pieces, each text translated.
struct Column
{
    int role;
    const char *name;
    const char *text;
    const char *unit;
    char16_t symbol;
    const char *tail1;
    const char *tail2;
    Need need;
};

#define TR(text) QT_TRANSLATE_NOOP("ModbusArchRecordEkDigital", text)
constexpr char16_t cubed = u'\u00b3';
constexpr char16_t degree = u'\u00b0';

const Column columns[] = {
    {33, "recordLabel", TR("Time"), nullptr, 0, nullptr, nullptr, Always},
    {34, "serviceFlags", TR("Service flags"), nullptr, 0, nullptr, nullptr, Heat},
    {35, "flowRateEsFlags", TR("Flow rate ES flags"), nullptr, 0, nullptr, nullptr, Always},
    {36, "heatEsFlags", TR("Heat ES flags"), nullptr, 0, nullptr, nullptr, Heat},
    {37, "workTime", TR("Work time, s"), nullptr, 0, nullptr, nullptr, Always},
    {38, "flowRateSensorLessTime", TR("Time without flow rate measuring, s"), nullptr, 0, nullptr, nullptr, Always},
    {39, "heatSensorLessTime", TR("Time without heat measuring, s"), nullptr, 0, nullptr, nullptr, Heat},
    {40, "vPlus", TR("V+, "), TR("m"), cubed, nullptr, nullptr, Always},
    {41, "vMinus", TR("V-, "), TR("m"), cubed, nullptr, nullptr, Always},
    {42, "mPlus", TR("M+, "), TR("t"), 0, nullptr, nullptr, Heat},
    {43, "w", TR("W, "), TR("Gcal/h"), 0, nullptr, nullptr, Heat},
    {44, "dWorkTime", TR("Work time for the interval, s"), nullptr, 0, nullptr, nullptr, Heat},
    {45, "dFlowRateSensorLessTime", TR("Time without flow rate measuring for the interval, s"), nullptr, 0, nullptr,
     nullptr, Heat},
    {46, "dHeatSensorLessTimeRole", TR("Time without heat measuring for the interval, s"), nullptr, 0, nullptr,
     nullptr, Heat},
    {47, "dVPlus", TR("V+ accumulated, m"), nullptr, cubed, nullptr, nullptr, Heat},
    {48, "dVMinus", TR("V- accumulated, m"), nullptr, cubed, nullptr, nullptr, Heat},
    {49, "dMPlus", TR("M+ accumulated, t"), nullptr, 0, nullptr, nullptr, Heat},
    {50, "dW", TR("W accumulated, "), TR("Gcal/h"), 0, nullptr, nullptr, Heat},
    {51, "dMinVolumeFlowRate", TR("Min volume flow rate, m"), nullptr, cubed, TR("/"), TR("h"), Always},
    {52, "dMaxVolumeFlowRate", TR("Max volume flow rate, m"), nullptr, cubed, TR("/"), TR("h"), Always},
    {53, "dMinWeightFlowRate", TR("Min weight flow rate, m"), nullptr, cubed, TR("/"), TR("h"), Heat},
    {54, "dMaxWeightFlowRate", TR("Max weight flow rate, m"), nullptr, cubed, TR("/"), TR("h"), Heat},
    {55, "minTemperature1", TR("Min temperature 1, "), nullptr, degree, TR("C"), nullptr, Heat3},
    {56, "maxTemperature1", TR("Max temperature 1, "), nullptr, degree, TR("C"), nullptr, Heat3},
    {57, "averageTemperature1", TR("Average temperature 1, "), nullptr, degree, TR("C"), nullptr, Heat3},
    {58, "minTemperature2", TR("Min temperature 2, "), nullptr, degree, TR("C"), nullptr, Heat3},
    {59, "maxTemperature2", TR("Max temperature 2, "), nullptr, degree, TR("C"), nullptr, Heat3},
    {60, "averageTemperature2", TR("Average temperature 2, "), nullptr, degree, TR("C"), nullptr, Heat3},
    {61, "minPressure", TR("Min pressure, "), TR("MPa"), 0, nullptr, nullptr, Heat3},
    {62, "maxPressure", TR("Max pressure, "), TR("MPa"), 0, nullptr, nullptr, Heat3},
    {63, "averagePressure", TR("Average pressure, "), TR("MPa"), 0, nullptr, nullptr, Heat3},
};
#undef TR

QString translated(const char *text)
{
    return text ? ModbusArchRecordEkDigital::tr(text) : QString();
}

QString caption(const Column &column)
{
    QString text = translated(column.text) + translated(column.unit);
    if (column.symbol)
        text += QChar(column.symbol);
    return text + translated(column.tail1) + translated(column.tail2);
}

// Values compare by their bits: a NaN the device sends once is not news on every record.
template <typename T>
bool same(const T &a, const T &b)
{
    if constexpr (std::is_floating_point_v<T>)
        return a == b || (std::isnan(a) && std::isnan(b));
    else
        return a == b;
}

// A time label in a daylight-saving gap is an invalid local date-time; its fields still tell it apart.
template <>
bool same(const QDateTime &a, const QDateTime &b)
{
    return a.date() == b.date() && a.time() == b.time() && a.isValid() == b.isValid();
}

} // namespace

ModbusArchRecordEkDigital::ModbusArchRecordEkDigital(QObject *parent)
    : ModbusArchRecord(parent),
      m_recordRoles(m_roles)
{
    updateRoleNames();
}

QString ModbusArchRecordEkDigital::flowRateEsFlagsBinary() const
{
    return TavrexBus::normalizeBinary(QString::number(m_flowRateEsFlags, 2), 6);
}

QString ModbusArchRecordEkDigital::heatEsFlagsBinary() const
{
    return TavrexBus::normalizeBinary(QString::number(m_heatEsFlags, 2), 9);
}

// ---- decoding ---------------------------------------------------------------------------------

QVariant ModbusArchRecordEkDigital::data(const ModbusBytes &bytes, int role) const
{
    switch (m_ekdGeneration) {
    case 1: return dataGen1(bytes, role);
    case 2: return dataGen2(bytes, role);
    default: return dataGen3(bytes, role);
    }
}

QVariant ModbusArchRecordEkDigital::dataGen1(const ModbusBytes &bytes, int role) const
{
    const EkDigitalLayout::Field *field = EkDigitalLayout::recordField(1, role);
    return field ? EkDigitalLayout::decode(bytes, field->offset, field->codec) : ModbusArchRecord::data(bytes, role);
}

QVariant ModbusArchRecordEkDigital::dataGen2(const ModbusBytes &bytes, int role) const
{
    const EkDigitalLayout::Field *field = EkDigitalLayout::recordField(2, role);
    return field ? EkDigitalLayout::decode(bytes, field->offset, field->codec) : ModbusArchRecord::data(bytes, role);
}

QVariant ModbusArchRecordEkDigital::dataGen3(const ModbusBytes &bytes, int role) const
{
    const EkDigitalLayout::Field *field = EkDigitalLayout::recordField(3, role);
    return field ? EkDigitalLayout::decode(bytes, field->offset, field->codec) : dataGen2(bytes, role);
}

// ---- values -----------------------------------------------------------------------------------

void ModbusArchRecordEkDigital::bytesWasChanged()
{
    ModbusArchRecord::bytesWasChanged();
    updateValues();
}

void ModbusArchRecordEkDigital::updateValues()
{
    const ModbusBytes record = bytes();
    for (int role : EkDigitalLayout::updateOrder(m_ekdGeneration))
        setRoleValue(role, data(record, role));
}

template <typename T, typename... Args>
bool ModbusArchRecordEkDigital::store(T &field, const T &value, void (ModbusArchRecordEkDigital::*changed)(Args...))
{
    if (same(field, value))
        return false;
    field = value;
    if constexpr (sizeof...(Args) == 0)
        emit(this->*changed)();
    else
        emit(this->*changed)(value);
    return true;
}

void ModbusArchRecordEkDigital::setRoleValue(int role, const QVariant &value)
{
    using R = ModbusArchRecordEkDigital;
    const uint number = value.toUInt();
    const float single = value.toFloat();
    switch (role) {
    case 33: store(m_recordLabel, value.toDateTime(), &R::recordLabelChanged); break;
    case 34: setServiceFlags(quint16(number)); break;
    case 35: setFlowRateEsFlags(quint16(number)); break;
    case 36: store(m_heatEsFlags, qint32(number), &R::heatEsFlagsChanged); break;
    case 37: store(m_workTime, quint32(number), &R::workTimeChanged); break;
    case 38: store(m_flowRateSensorLessTime, quint32(number), &R::flowRateSensorLessTimeChanged); break;
    case 39: store(m_heatSensorLessTime, quint32(number), &R::heatSensorLessTimeChanged); break;
    case 40: store(m_vPlus, value.toDouble(), &R::vPlusChanged); break;
    case 41: store(m_vMinus, value.toDouble(), &R::vMinusChanged); break;
    case 42: store(m_mPlus, value.toDouble(), &R::mPlusChanged); break;
    case 43: store(m_w, value.toDouble(), &R::wChanged); break;
    case 44: store(m_dWorkTime, quint16(number), &R::dWorkTimeChanged); break;
    case 45: store(m_dFlowRateSensorLessTime, quint16(number), &R::dFlowRateSensorLessTimeChanged); break;
    case 46: store(m_dHeatSensorLessTime, quint16(number), &R::dHeatSensorLessTimeChanged); break;
    case 47: store(m_dVPlus, single, &R::dVPlusChanged); break;
    case 48: store(m_dVMinus, single, &R::dVMinusChanged); break;
    case 49: store(m_dMPlus, single, &R::dMPlusChanged); break;
    case 50: store(m_dW, single, &R::dWChanged); break;
    case 51: store(m_dMinVolumeFlowRate, single, &R::dMinVolumeFlowRateChanged); break;
    case 52: store(m_dMaxVolumeFlowRate, single, &R::dMaxVolumeFlowRateChanged); break;
    case 53: store(m_dMinWeightFlowRate, single, &R::dMinWeightFlowRateChanged); break;
    case 54: store(m_dMaxWeightFlowRate, single, &R::dMaxWeightFlowRateChanged); break;
    case 55: store(m_minTemperature1, single, &R::minTemperature1Changed); break;
    case 56: store(m_maxTemperature1, single, &R::maxTemperature1Changed); break;
    case 57: store(m_averageTemperature1, single, &R::averageTemperature1Changed); break;
    case 58: store(m_minTemperature2, single, &R::minTemperature2Changed); break;
    case 59: store(m_maxTemperature2, single, &R::maxTemperature2Changed); break;
    case 60: store(m_averageTemperature2, single, &R::averageTemperature2Changed); break;
    case 61: store(m_minPressure, single, &R::minPressureChanged); break;
    case 62: store(m_maxPressure, single, &R::maxPressureChanged); break;
    case 63: store(m_averagePressure, single, &R::averagePressureChanged); break;
    default: break;
    }
}

void ModbusArchRecordEkDigital::setFlowRateEsFlags(quint16 flags)
{
    if (flags == m_flowRateEsFlags)
        return;
    m_flowRateEsFlags = flags;
    using R = ModbusArchRecordEkDigital;
    store(m_quicklyNoSensor, bool(flags & 0x01), &R::quicklyNoSensorChanged);
    store(m_noSensor, bool(flags & 0x02), &R::noSensorChanged);
    store(m_userDataError, bool(flags & 0x04), &R::userDataErrorChanged);
    store(m_maxQOverflow, bool(flags & 0x08), &R::maxQOverflowChanged);
    store(m_highSetOverflow, bool(flags & 0x10), &R::highSetOverflowChanged);
    store(m_lowSetOverflow, bool(flags & 0x20), &R::lowSetOverflowChanged);
    emit flowRateEsFlagsChanged();
}

void ModbusArchRecordEkDigital::setServiceFlags(quint16 flags)
{
    if (flags == m_serviceFlags)
        return;
    m_serviceFlags = flags;
    setContainsHeat(flags & 0x01);
    emit serviceFlagsChanged(flags);
}

void ModbusArchRecordEkDigital::setEkdGeneration(int generation)
{
    if (generation == m_ekdGeneration)
        return;
    m_ekdGeneration = generation;
    updateRoleNames();
    emit ekdGenerationChanged(generation);
    // The same bytes read differently now; without a record the defaults stand.
    if (!bytes().isEmpty())
        updateValues();
}

void ModbusArchRecordEkDigital::setContainsHeat(bool containsHeat)
{
    if (containsHeat == m_containsHeat)
        return;
    m_containsHeat = containsHeat;
    updateRoleNames();
    emit containsHeatChanged(containsHeat);
}

// The record's own rows, then the device rows of this generation and channel set, in role order.
void ModbusArchRecordEkDigital::updateRoleNames()
{
    const bool heat = m_containsHeat && m_ekdGeneration >= 2;
    const bool heat3 = m_containsHeat && m_ekdGeneration >= 3;
    RoleItems roles = m_recordRoles;
    for (const Column &column : columns) {
        if (column.need == Always || (column.need == Heat && heat) || (column.need == Heat3 && heat3))
            roles.append(RoleItem(column.role, column.name, caption(column)));
    }
    m_roles = roles;
    setRoles(m_roles);
}
