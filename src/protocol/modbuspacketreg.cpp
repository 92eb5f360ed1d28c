#include "modbuspacketreg.h"
#include "framing_p.h"

ModbusPacketReg::ModbusPacketReg()
    : ModbusPacket(TavrexBus::RegistersPacket)
{
}

QString ModbusPacketReg::toString(bool oneLine) const
{
    QString text = headerText();
    text += QStringLiteral("request address: %1 (%2) \n")
                    .arg(m_requestAddress)
                    .arg(TavrexBus::absToLog(m_requestAddress, functionCode()));
    text += QStringLiteral("request registers count: %1\n").arg(m_requestRegistersCount);
    text += QStringLiteral("registers written: %1\n").arg(m_registersWritten);
    const int count = registersCount();
    text += QStringLiteral("registers [%1]:\n").arg(count);
    for (int i = 0; i < count; ++i) {
        text += QStringLiteral("  register %1: %2\n")
                        .arg(i)
                        .arg(Framing::hexText(m_regBytes.mid(2 * i, 2)));
    }
    return formatLines(text, oneLine);
}

void ModbusPacketReg::appendRegBytes(const ModbusBytes &bytes)
{
    m_regBytes.append(bytes);
}

void ModbusPacketReg::appendRegValue(unsigned short value)
{
    m_regBytes.appendUInt16(value);
}

bool ModbusPacketReg::operator==(const ModbusPacketReg &other) const
{
    return ModbusPacket::operator==(other) && m_regBytes == other.m_regBytes
            && m_requestAddress == other.m_requestAddress
            && m_registersWritten == other.m_registersWritten
            && m_requestRegistersCount == other.m_requestRegistersCount;
}
