#include "modbuspacketarchpresence.h"

namespace {
const QString dateFormat = QStringLiteral("yyyy.MM.dd hh:mm:ss");
}

ModbusPacketArchPresence::ModbusPacketArchPresence()
    : ModbusPacket(TavrexBus::ArchPresencePacket)
{
    setFunctionCode(TavrexBus::ReadArchPresence66);
}

ModbusPacketArchPresence::ModbusPacketArchPresence(TavrexBus::ArchType archType)
    : ModbusPacketArchPresence()
{
    m_archType = archType;
}

ModbusPacketArchPresence::ModbusPacketArchPresence(TavrexBus::ArchType archType,
                                                   unsigned short requestLabelsCount)
    : ModbusPacketArchPresence(archType)
{
    m_requestLabelsCount = requestLabelsCount;
}

ModbusPacketArchPresence::ModbusPacketArchPresence(const ModbusPacketArchPresence &other)
    : ModbusPacket(other),
      m_archType(other.m_archType),
      m_archIndex(other.m_archIndex),
      m_direction(other.m_direction),
      m_labels(other.m_labels),
      m_requestLabel(other.m_requestLabel),
      m_requestLabelsCount(other.m_requestLabelsCount)
{
    setFunctionCode(TavrexBus::ReadArchPresence66);
}

QString ModbusPacketArchPresence::toString(bool oneLine) const
{
    QString text = headerText();
    text += QLatin1String("arch type: ") + TavrexBus::archTypeStr(m_archType) + QLatin1Char('\n');
    text += QLatin1String("arch index: ") + QString::number(m_archIndex) + QLatin1Char('\n');
    text += QLatin1String("direction: ") + TavrexBus::archDirectionStr(m_direction)
            + QLatin1Char('\n');
    text += QStringLiteral("request label: %1 (0x%2, %3)\n")
                    .arg(m_requestLabel)
                    .arg(m_requestLabel, 0, 16)
                    .arg(requestTimeLabel().toString(dateFormat));
    const int count = labelsCount();
    text += QLatin1String("labels [") + QString::number(count) + QLatin1String("]: \n");
    for (int i = 0; i < count; ++i) {
        const quint32 label = m_labels.getArchLabel(i);
        text += QStringLiteral("  label %1: %2 (0x%3, %4)\n")
                        .arg(i)
                        .arg(label)
                        .arg(label, 0, 16)
                        .arg(TavrexBus::archLabelToTime(label).toString(dateFormat));
    }
    return formatLines(text, oneLine);
}

QDateTime ModbusPacketArchPresence::requestTimeLabel() const
{
    return TavrexBus::archLabelToTime(m_requestLabel);
}

void ModbusPacketArchPresence::setRequestLabel(const QDateTime &label)
{
    m_requestLabel = TavrexBus::archLabelToSeconds(label);
}

void ModbusPacketArchPresence::appendLabel(unsigned int label)
{
    m_labels.appendUInt32(label);
}

void ModbusPacketArchPresence::appendLabels(const ModbusBytes &labels)
{
    m_labels.append(labels);
}

void ModbusPacketArchPresence::setLabelsCount(unsigned short count)
{
    // Whole labels only: a trailing partial label is dropped as well.
    m_labels.truncate(4 * qMin<int>(labelsCount(), count));
    while (labelsCount() < count)
        appendLabel(0);
}

bool ModbusPacketArchPresence::operator==(const ModbusPacketArchPresence &other) const
{
    return ModbusPacket::operator==(other) && m_archType == other.m_archType
            && m_archIndex == other.m_archIndex && m_direction == other.m_direction
            && m_labels == other.m_labels && m_requestLabel == other.m_requestLabel
            && m_requestLabelsCount == other.m_requestLabelsCount;
}
