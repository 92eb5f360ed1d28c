#include "modbuspacketreport.h"
#include "framing_p.h"

ModbusPacketReport::ModbusPacketReport()
    : ModbusPacket(TavrexBus::ReportSlavePacket)
{
    setFunctionCode(TavrexBus::ReportSlaveId);
}

QString ModbusPacketReport::toString(bool oneLine) const
{
    QString text = headerText();
    text += QLatin1String("reportBytes: ") + Framing::hexText(m_bytes)
            + QLatin1Char('\n');
    text += QLatin1String("reportString: ") + devName() + QLatin1Char('\n');
    return formatLines(text, oneLine);
}

QString ModbusPacketReport::devName() const
{
    return TavrexBus::getDevNameFromReportBytes(m_bytes);
}

void ModbusPacketReport::setDevName(const QString &name)
{
    m_bytes = TavrexBus::setDevNameToReportBytes(m_bytes, name);
}

bool ModbusPacketReport::operator==(const ModbusPacketReport &other) const
{
    return ModbusPacket::operator==(other) && m_bytes == other.m_bytes;
}
