#include "modbuspacket.h"

ModbusPacket::ModbusPacket(const TavrexBus::PacketKind &kind)
    : m_kind(kind)
{
}

ModbusPacket &ModbusPacket::operator=(const ModbusPacket &other)
{
    m_functionCode = other.m_functionCode;
    m_exceptionCode = other.m_exceptionCode;
    m_state = other.m_state;
    m_address = other.m_address;
    return *this;
}

ModbusPacket::~ModbusPacket() = default;

QString ModbusPacket::toString(bool oneLine) const
{
    return formatLines(headerText(), oneLine);
}

bool ModbusPacket::operator==(const ModbusPacket &other) const
{
    return m_functionCode == other.m_functionCode && m_exceptionCode == other.m_exceptionCode
            && m_state == other.m_state && m_kind == other.m_kind && m_address == other.m_address;
}

QString ModbusPacket::headerText() const
{
    return QLatin1String("function code: ") + TavrexBus::functionCodeStr(m_functionCode)
            + QLatin1String("\nexception code: ") + TavrexBus::exceptionCodeStr(m_exceptionCode)
            + QLatin1String("\nstate: ") + TavrexBus::packetStateStr(m_state)
            + QLatin1String("\nkind: ") + TavrexBus::packetKindStr(m_kind)
            + QLatin1String("\naddress: ") + QString::number(m_address) + QLatin1Char('\n');
}
