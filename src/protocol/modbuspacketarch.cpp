#include "modbuspacketarch.h"
#include "framing_p.h"

ModbusPacketArch::ModbusPacketArch()
    : ModbusPacket(TavrexBus::ArchivePacket)
{
}

ModbusPacketArch::ModbusPacketArch(TavrexBus::ArchType archType)
    : ModbusPacket(TavrexBus::ArchivePacket), m_archType(archType)
{
}

ModbusPacketArch::ModbusPacketArch(TavrexBus::ArchType archType,
                                   TavrexBus::ArchDirection direction)
    : ModbusPacket(TavrexBus::ArchivePacket), m_archType(archType), m_direction(direction)
{
}

QString ModbusPacketArch::toString(bool oneLine) const
{
    QString text = headerText();
    text += QLatin1String("arch type: ") + TavrexBus::archTypeStr(m_archType) + QLatin1Char('\n');
    text += QLatin1String("arch index: ") + QString::number(m_archIndex) + QLatin1Char('\n');
    text += QStringLiteral("requestLabel: %1 (0x%2, %3)")
                    .arg(m_requestLabel)
                    .arg(m_requestLabel, 0, 16)
                    .arg(requestTimeLabel().toString(Qt::TextDate));
    text += QLatin1String("direction: ") + TavrexBus::archDirectionStr(m_direction)
            + QLatin1Char('\n');
    text += QLatin1String("records [") + QString::number(m_records.size())
            + QLatin1String("]: \n");
    for (int i = 0; i < m_records.size(); ++i) {
        text += QLatin1String("  record ") + QString::number(i) + QLatin1String(":\n")
                + Framing::hexText(m_records.at(i)) + QLatin1Char('\n');
    }
    return formatLines(text, oneLine);
}

QDateTime ModbusPacketArch::requestTimeLabel() const
{
    return TavrexBus::archLabelToTime(m_requestLabel);
}

int ModbusPacketArch::fieldsTotalSize() const
{
    int total = 0;
    for (const ModbusBytes &record : m_records)
        total += record.size();
    return total;
}

void ModbusPacketArch::setRequestLabel(const QDateTime &label)
{
    m_requestLabel = TavrexBus::archLabelToSeconds(label);
}

bool ModbusPacketArch::operator==(const ModbusPacketArch &other) const
{
    return ModbusPacket::operator==(other) && m_archType == other.m_archType
            && m_archIndex == other.m_archIndex && m_records == other.m_records
            && m_direction == other.m_direction && m_requestLabel == other.m_requestLabel
            && m_requestRecordsCount == other.m_requestRecordsCount;
}
