#include "modbuspacketfile.h"
#include "framing_p.h"

ModbusPacketFile::ModbusPacketFile()
    : ModbusPacket(TavrexBus::FilePacket)
{
}

QString ModbusPacketFile::toString(bool oneLine) const
{
    QString text = headerText();
    text += QStringLiteral("requested file: %1 (0x%2) \n").arg(requestFile).arg(requestFile, 0, 16);
    text += QStringLiteral("requested offset: %1 (0x%2) \n")
                    .arg(requestOffset)
                    .arg(requestOffset, 0, 16);
    text += QStringLiteral("request registers count: %1\n").arg(requestRegistersCount);
    text += QStringLiteral("registers written: %1\n").arg(registersWritten);
    text += QStringLiteral("bytes [%1]:\n").arg(bytes.size());
    text += Framing::hexText(bytes) + QLatin1Char('\n');
    return formatLines(text, oneLine);
}

bool ModbusPacketFile::operator==(const ModbusPacketFile &other) const
{
    return ModbusPacket::operator==(other) && requestFile == other.requestFile
            && requestOffset == other.requestOffset
            && requestRegistersCount == other.requestRegistersCount && bytes == other.bytes
            && registersWritten == other.registersWritten;
}
