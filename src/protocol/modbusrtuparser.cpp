#include "modbusrtuparser.h"
#include "framing_p.h"
#include "modbuspacket.h"
#include "modbusprotocol.h"

#include <memory>

using namespace ModbusProtocol;

namespace {

inline int pduSize(const ModbusBytes &frame)
{
    return int(frame.size()) - RtuHeaderSize - RtuCrcSize;
}

bool crcMatches(const ModbusBytes &frame)
{
    const int crcAt = int(frame.size()) - RtuCrcSize;
    return qChecksumModbus(frame.constData(), uint(crcAt)) == frame.toUInt16(crcAt);
}

} // namespace

ModbusRTUParser::ModbusRTUParser(QObject *parent)
    : ModbusParser(parent)
{
}

ModbusRTUParser::~ModbusRTUParser() = default;

bool ModbusRTUParser::canParse(const ModbusBytes &frame, TavrexBus::PacketState state) const
{
    return frame.size() >= MinRtuFrameSize
            && ModbusParser::canParse(Framing::pduView(frame, RtuHeaderSize, pduSize(frame)), state);
}

IPacket *ModbusRTUParser::parse(const ModbusBytes &frame, const IParseInfo &info, const Target *)
{
    try {
        if (frame.size() < MinRtuFrameSize)
            throw tr("bytes array is too short");
        if (frame.size() > MaxRtuFrameSize)
            throw tr("bytes array is too long");
        const ModbusParseInfo &modbusInfo = Framing::modbusInfo(info);
        const ModbusBytes pdu = Framing::pduView(frame, RtuHeaderSize, pduSize(frame));
        std::unique_ptr<ModbusPacket> packet(createPacket(pdu, modbusInfo));
        packet->setAddress(frame.at(0));
        if (!crcMatches(frame))
            throw tr("crc checksum error in bytes: %1").arg(Framing::hexText(frame));
        parseModbusPDU(pdu, modbusInfo, *packet);
        return packet.release();
    } catch (const QString &message) {
        setErrorString(tr("ModbusRTUParser parse error: %1; bytes: %2")
                               .arg(message, Framing::hexText(frame)));
        return nullptr;
    }
}

bool ModbusRTUParser::unwrapFrame(const ModbusBytes &frame, quint8 *unit, ModbusBytes *pdu) const
{
    if (frame.size() < MinRtuFrameSize || frame.size() > MaxRtuFrameSize || !crcMatches(frame))
        return false;
    if (unit)
        *unit = frame.at(0);
    if (pdu)
        *pdu = frame.mid(RtuHeaderSize, pduSize(frame));
    return true;
}

int ModbusRTUParser::maxFrameSize() const
{
    return MaxRtuFrameSize;
}

QString ModbusRTUParser::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Modbus RTU parser: \n"), oneLine);
}
