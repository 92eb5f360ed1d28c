#include "modbusrtuparser.h"
#include "framing_p.h"
#include "modbuspacket.h"

#include <memory>

namespace {
constexpr int minFrame = 4;
constexpr int maxFrame = 256;
}

ModbusRTUParser::ModbusRTUParser(QObject *parent)
    : ModbusParser(parent)
{
}

ModbusRTUParser::~ModbusRTUParser() = default;

bool ModbusRTUParser::canParse(const ModbusBytes &frame, TavrexBus::PacketState state) const
{
    return frame.size() >= minFrame
            && ModbusParser::canParse(Framing::pduView(frame, 1, frame.size() - 3), state);
}

IPacket *ModbusRTUParser::parse(const ModbusBytes &frame, const IParseInfo &info, const Target *)
{
    try {
        if (frame.size() < minFrame)
            throw tr("bytes array is too short");
        if (frame.size() > maxFrame)
            throw tr("bytes array is too long");
        const ModbusParseInfo &modbusInfo = Framing::modbusInfo(info);
        const ModbusBytes pdu = Framing::pduView(frame, 1, frame.size() - 3);
        std::unique_ptr<ModbusPacket> packet(createPacket(pdu, modbusInfo));
        packet->setAddress(uchar(frame.at(0)));
        const quint16 crc = qChecksumModbus(frame.constData(), uint(frame.size() - 2));
        if (crc != Framing::u16At(frame, frame.size() - 2))
            throw tr("crc checksum error in bytes: %1").arg(Framing::hex(frame));
        parseModbusPDU(pdu, modbusInfo, *packet);
        return packet.release();
    } catch (const QString &message) {
        setErrorString(tr("ModbusRTUParser parse error: %1; bytes: %2")
                               .arg(message, Framing::hex(frame)));
        return nullptr;
    }
}

QString ModbusRTUParser::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Modbus RTU parser: \n"), oneLine);
}
