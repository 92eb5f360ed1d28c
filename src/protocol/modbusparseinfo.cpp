#include "modbusparseinfo.h"

ModbusParseInfo::ModbusParseInfo(TavrexBus::PacketState state)
    : m_state(state)
{
}

ModbusParseInfo::ModbusParseInfo(TavrexBus::PacketState state, TavrexBus::ArchType archType)
    : m_state(state), m_archType(archType)
{
}

ModbusParseInfo::ModbusParseInfo(TavrexBus::PacketState state, unsigned short requestCount,
                                 TavrexBus::ArchType archType)
    : m_state(state), m_requestCount(requestCount), m_archType(archType)
{
}

QString ModbusParseInfo::toString(bool oneLine) const
{
    const QString text = QLatin1String("state: ") + TavrexBus::packetStateStr(m_state)
            + QLatin1String("\narchType: ") + TavrexBus::archTypeStr(m_archType)
            + QLatin1String("\nrecords count: ") + QString::number(m_requestCount)
            + QLatin1Char('\n');
    return formatLines(text, oneLine);
}

bool ModbusParseInfo::operator==(const ModbusParseInfo &other) const
{
    return m_state == other.m_state && m_requestCount == other.m_requestCount
            && m_archType == other.m_archType;
}
