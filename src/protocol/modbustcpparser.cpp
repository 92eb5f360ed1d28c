#include "modbustcpparser.h"
#include "framing_p.h"
#include "modbuspacket.h"

#include <memory>

namespace {
constexpr int headerSize = 7;
constexpr int minFrame = 8;
constexpr int maxFrame = 260;
}

ModbusTCPParser::ModbusTCPParser(QObject *parent)
    : ModbusParser(parent)
{
}

ModbusTCPParser::~ModbusTCPParser() = default;

bool ModbusTCPParser::canParse(const ModbusBytes &frame, TavrexBus::PacketState state) const
{
    return frame.size() >= minFrame && frame.at(2) == 0 && frame.at(3) == 0
            && ModbusParser::canParse(
                    Framing::pduView(frame, headerSize, frame.size() - headerSize), state);
}

IPacket *ModbusTCPParser::parse(const ModbusBytes &frame, const IParseInfo &info, const Target *)
{
    try {
        if (frame.size() < minFrame)
            throw tr("bytes array is too short");
        if (frame.size() > maxFrame)
            throw tr("bytes array is too long");
        const ModbusParseInfo &modbusInfo = Framing::modbusInfo(info);
        const ModbusBytes pdu = Framing::pduView(frame, headerSize, frame.size() - headerSize);
        std::unique_ptr<ModbusPacket> packet(createPacket(pdu, modbusInfo));
        parseModbusPDU(pdu, modbusInfo, *packet);
        if (Framing::u16At(frame, 2) != 0)
            throw tr("invalid Protocol ID");
        const int length = Framing::u16At(frame, 4);
        if (length == 0)
            throw tr("zero Length");
        if (length != frame.size() - 6)
            throw tr("bad TCP/IP ADU package length");
        packet->setAddress(uchar(frame.at(6)));
        return packet.release();
    } catch (const QString &message) {
        setErrorString(tr("ModbusTCPParser parse error: %1; bytes: %2")
                               .arg(message, Framing::hex(frame)));
        return nullptr;
    }
}

QString ModbusTCPParser::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Modbus TCP parser: \n"), oneLine);
}
