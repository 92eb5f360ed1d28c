#include "simarchive.h"

#include <QtCore/QJsonArray>
#include <QtCore/QMetaEnum>

#include <algorithm>
#include <cmath>

namespace {

const QString timeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

// "hour" or "Hour" for TavrexBus::Hour; false for a name that is not an archive interval.
bool intervalOf(const QString &name, TavrexBus::ArchInterval &interval)
{
    if (name.isEmpty())
        return false;
    const QByteArray key = (name.left(1).toUpper() + name.mid(1).toLower()).toLatin1();
    bool ok = false;
    const int value = QMetaEnum::fromType<TavrexBus::ArchInterval>().keyToValue(key.constData(), &ok);
    interval = TavrexBus::ArchInterval(value);
    return ok;
}

// A smooth swing over the day, the way flows and temperatures move.
double daily(quint32 label)
{
    return std::sin(double(label % 86400) / 86400.0 * 2 * M_PI);
}

} // namespace

bool SimArchive::load(const QJsonObject &entry, const QString &where, SimArchive &archive, QString *error)
{
    const QString type = entry.value(QLatin1String("type")).toString(QStringLiteral("index"));
    if (type != QLatin1String("index") && type != QLatin1String("time")) {
        *error = QStringLiteral("%1: type \"%2\" is not index or time").arg(where, type);
        return false;
    }
    archive.m_type = type == QLatin1String("time") ? TavrexBus::TimeArch : TavrexBus::IndexArch;
    const QJsonValue generation = entry.value(QLatin1String("generation"));
    if (!generation.isUndefined()) {
        const int number = generation.toInt(0);
        if (number < 1 || number > 3) {
            *error = QStringLiteral("%1: generation must be 1, 2 or 3").arg(where);
            return false;
        }
        archive.m_layout = Layout(number);
    }
    archive.m_heat = entry.value(QLatin1String("heat")).toBool();
    const QJsonValue interval = entry.value(QLatin1String("interval"));
    if (interval.isDouble()) {
        archive.m_seconds = interval.toInteger(0);
        if (archive.m_seconds < 1) {
            *error = QStringLiteral("%1: an interval in seconds must be 1 or more").arg(where);
            return false;
        }
    } else if (!interval.isUndefined() && !intervalOf(interval.toString(), archive.m_interval)) {
        *error = QStringLiteral("%1: interval \"%2\" is not a number of seconds or one of second, minute, hour, "
                                "day, week, decade, month, quarter, year")
                     .arg(where, interval.toVariant().toString());
        return false;
    }
    return archive.loadLabels(entry, where, error);
}

bool SimArchive::parseLabel(const QJsonValue &value, quint32 &label) const
{
    if (value.isDouble()) {
        const qint64 number = value.toInteger(-1);
        label = quint32(number);
        return number >= 0 && number <= 0xFFFFFFFFll;
    }
    if (m_type != TavrexBus::TimeArch || !value.isString())
        return false;
    label = TavrexBus::archLabelToSeconds(QDateTime::fromString(value.toString(), timeFormat));
    return label != TavrexBus::InvalidTimeLabel;
}

bool SimArchive::loadLabels(const QJsonObject &entry, const QString &where, QString *error)
{
    const qint64 records = entry.value(QLatin1String("records")).toInteger(0);
    if (records < 0 || records > 10'000'000) {
        *error = QStringLiteral("%1: records must be 0-10000000").arg(where);
        return false;
    }
    const QJsonValue lastValue = entry.value(QLatin1String("last"));
    quint32 last = 0;
    if (lastValue.isUndefined()) {
        last = m_type == TavrexBus::IndexArch ? quint32(records)
                                               : TavrexBus::archLabelToSeconds(QDateTime::currentDateTime());
    } else if (!parseLabel(lastValue, last)) {
        *error = QStringLiteral("%1: last is not a label (%2)")
                     .arg(where, m_type == TavrexBus::TimeArch ? timeFormat : QStringLiteral("a record number"));
        return false;
    }
    if (m_type == TavrexBus::TimeArch)
        last = m_seconds > 0 ? quint32(last - last % m_seconds)
                             : TavrexBus::normalizedArchLabel(last, m_type, m_interval);
    m_labels.clear();
    bool ok = true;
    for (quint32 label = last; m_labels.size() < records && ok; label = previous(label, &ok))
        m_labels.prepend(label);

    const QJsonValue gapsValue = entry.value(QLatin1String("gaps"));
    if (!gapsValue.isUndefined() && !gapsValue.isArray()) {
        *error = QStringLiteral("%1: gaps must be an array").arg(where);
        return false;
    }
    const QJsonArray gaps = gapsValue.toArray();
    for (int i = 0; i < gaps.size(); ++i) {
        const QJsonArray span = gaps.at(i).isArray() ? gaps.at(i).toArray() : QJsonArray{gaps.at(i), gaps.at(i)};
        quint32 from = 0;
        quint32 to = 0;
        if (span.size() != 2 || !parseLabel(span.at(0), from) || !parseLabel(span.at(1), to) || to < from) {
            *error = QStringLiteral("%1: gap %2 is not a label or a [first, last] pair of labels")
                         .arg(where)
                         .arg(i + 1);
            return false;
        }
        m_labels.removeIf([from, to](quint32 label) { return label >= from && label <= to; });
    }
    return true;
}

quint32 SimArchive::next(quint32 label, bool *ok) const
{
    if (m_type == TavrexBus::IndexArch || m_seconds == 0)
        return TavrexBus::getNextLabel(label, m_type, m_interval, ok, 1);
    *ok = label <= TavrexBus::MaxTimeLabel - m_seconds;
    return quint32(label + m_seconds);
}

quint32 SimArchive::previous(quint32 label, bool *ok) const
{
    if (m_type == TavrexBus::IndexArch || m_seconds == 0)
        return TavrexBus::getPrevLabel(label, m_type, m_interval, ok, 1);
    *ok = label >= m_seconds;
    return quint32(label - m_seconds);
}

bool SimArchive::exists(quint32 label) const
{
    return std::binary_search(m_labels.cbegin(), m_labels.cend(), label);
}

int SimArchive::recordSize() const
{
    static const int sizes[] = {12, 58, 92, 128};
    return sizes[m_layout];
}

QList<quint32> SimArchive::labelsFrom(quint32 label, TavrexBus::ArchDirection direction, int count) const
{
    QList<quint32> found;
    if (direction == TavrexBus::Backward) {
        auto it = std::upper_bound(m_labels.cbegin(), m_labels.cend(), label);
        while (it != m_labels.cbegin() && found.size() < count)
            found.append(*--it);
    } else {
        for (auto it = std::lower_bound(m_labels.cbegin(), m_labels.cend(), label);
             it != m_labels.cend() && found.size() < count; ++it)
            found.append(*it);
    }
    return found;
}

QList<ModbusBytes> SimArchive::recordsFrom(quint32 label, TavrexBus::ArchDirection direction, int count) const
{
    QList<ModbusBytes> records;
    for (quint32 found : labelsFrom(label, direction, count))
        records.append(record(found));
    return records;
}

QList<ModbusBytes> SimArchive::recordsAt(quint32 label, int count) const
{
    QList<ModbusBytes> records;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i, label = next(label, &ok))
        records.append(exists(label) ? record(label) : ModbusBytes::fromSize(recordSize()));
    return records;
}

ModbusBytes SimArchive::record(quint32 label) const
{
    if (m_layout != LabelLayout)
        return generationRecord(label);
    ModbusBytes record;
    record.appendUInt32(label);
    if (m_type == TavrexBus::IndexArch) {
        record.appendFloat(float(1000.0 + label * 0.5));
        record.appendFloat(float(label * 0.1));
    } else {
        const double hour = double(label % 86400) / 3600.0;
        record.appendFloat(float(12.0 + 3.0 * std::sin(hour / 24.0 * 2 * M_PI)));
        record.appendFloat(float(70.0 - 5.0 * std::cos(hour / 24.0 * 2 * M_PI)));
    }
    return record;
}

// Counters grow with the label (hours since 1970 for a time archive), so that consecutive records
// read like a meter's; the rest swings over the day.
ModbusBytes SimArchive::generationRecord(quint32 label) const
{
    const double hours = m_type == TavrexBus::TimeArch ? label / 3600.0 : double(label);
    const quint32 step = quint32(hours);
    const quint16 flowFlags = step % 13 == 0 ? 0x21 : 0;
    const quint16 seconds = quint16(qMin<qint64>(m_seconds > 0 ? m_seconds : 3600, 65535));
    const float flow = float(12.0 + 3.0 * daily(label));
    ModbusBytes bytes;
    bytes.appendUInt32(label);
    if (m_layout == Generation1) {
        bytes += ModbusBytes::fromDoubleStruct(10000.0 + hours * 1.25);
        bytes += ModbusBytes::fromDoubleStruct(hours * 0.002);
        bytes.appendUInt16(flowFlags);
        bytes.appendFloat(flow - 4.0f);
        bytes.appendFloat(flow + 4.0f);
        bytes.appendUInt32(step * 3600u);
        bytes.appendUInt32(step % 13 == 0 ? 120u : 0u);
        bytes += ModbusBytes::fromDoubleStruct(1.25);
        bytes += ModbusBytes::fromDoubleStruct(0.002);
        bytes.appendUInt16(seconds);
        bytes.appendUInt16(flowFlags ? 120 : 0);
        return bytes;
    }
    bytes.appendUInt16(m_heat ? 1 : 0);
    bytes.appendUInt16(flowFlags);
    bytes.appendUInt16(m_heat && step % 17 == 0 ? 5 : 0);
    bytes.appendUInt32(step * 3600u);
    bytes.appendUInt32(step % 13 == 0 ? 120u : 0u);
    bytes.appendUInt32(0);
    bytes += ModbusBytes::fromDoubleStruct(10000.0 + hours * 1.25);
    bytes += ModbusBytes::fromDoubleStruct(hours * 0.002);
    bytes += ModbusBytes::fromDoubleStruct(m_heat ? 9500.0 + hours * 1.2 : 0.0);
    bytes += ModbusBytes::fromDoubleStruct(m_heat ? 800.0 + hours * 0.05 : 0.0);
    bytes.appendUInt16(seconds);
    bytes.appendUInt16(flowFlags ? 120 : 0);
    bytes.appendUInt16(0);
    for (float value : {1.25f, 0.002f, m_heat ? 1.2f : 0.0f, m_heat ? 0.05f : 0.0f, flow - 4.0f, flow + 4.0f,
                        m_heat ? flow - 4.5f : 0.0f, m_heat ? flow + 3.5f : 0.0f})
        bytes.appendFloat(value);
    if (m_layout == Generation3) {
        const float swing = float(daily(label));
        for (float value : {68.0f + swing, 74.0f + swing, 71.0f + swing, 42.0f + swing, 47.0f + swing, 44.5f + swing,
                            0.55f, 0.62f, 0.58f})
            bytes.appendFloat(value);
    }
    return bytes;
}
