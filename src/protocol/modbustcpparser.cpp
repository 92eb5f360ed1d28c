#include "modbustcpparser.h"
#include "framing_p.h"
#include "modbuspacket.h"
#include "modbusprotocol.h"

#include <memory>

using namespace ModbusProtocol;

namespace {

// Faults of an MBAP header, as far as it is in, that both a whole frame and a stream can show.
const char *headerFault(const ModbusBytes &bytes)
{
    if (bytes.size() >= MbapLengthOffset && bytes.toUInt16(MbapProtocolOffset) != 0)
        return QT_TRANSLATE_NOOP("ModbusTCPParser", "invalid Protocol ID");
    if (bytes.size() >= MbapUnitOffset && bytes.toUInt16(MbapLengthOffset) == 0)
        return QT_TRANSLATE_NOOP("ModbusTCPParser", "zero Length");
    return nullptr;
}

bool lengthMatches(const ModbusBytes &frame)
{
    return frame.toUInt16(MbapLengthOffset) == frame.size() - MbapUnitOffset;
}

ModbusBytes pduOf(const ModbusBytes &frame)
{
    return Framing::pduView(frame, MbapHeaderSize, int(frame.size()) - MbapHeaderSize);
}

} // namespace

ModbusTCPParser::ModbusTCPParser(QObject *parent)
    : ModbusParser(parent)
{
}

ModbusTCPParser::~ModbusTCPParser() = default;

bool ModbusTCPParser::canParse(const ModbusBytes &frame, TavrexBus::PacketState state) const
{
    return frame.size() >= MinTcpFrameSize && frame.toUInt16(MbapProtocolOffset) == 0
            && ModbusParser::canParse(pduOf(frame), state);
}

IPacket *ModbusTCPParser::parse(const ModbusBytes &frame, const IParseInfo &info, const Target *)
{
    try {
        if (frame.size() < MinTcpFrameSize)
            throw tr("bytes array is too short");
        if (frame.size() > MaxTcpFrameSize)
            throw tr("bytes array is too long");
        const ModbusParseInfo &modbusInfo = Framing::modbusInfo(info);
        const ModbusBytes pdu = pduOf(frame);
        std::unique_ptr<ModbusPacket> packet(createPacket(pdu, modbusInfo));
        parseModbusPDU(pdu, modbusInfo, *packet);
        if (const char *fault = headerFault(frame))
            throw tr(fault);
        if (!lengthMatches(frame))
            throw tr("bad TCP/IP ADU package length");
        packet->setAddress(frame.at(MbapUnitOffset));
        return packet.release();
    } catch (const QString &message) {
        setErrorString(errorText(message, frame));
        return nullptr;
    }
}

bool ModbusTCPParser::unwrapFrame(const ModbusBytes &frame, quint8 *unit, ModbusBytes *pdu) const
{
    if (frame.size() < MinTcpFrameSize || frame.size() > MaxTcpFrameSize || headerFault(frame)
        || !lengthMatches(frame))
        return false;
    if (unit)
        *unit = frame.at(MbapUnitOffset);
    if (pdu)
        *pdu = frame.mid(MbapHeaderSize);
    return true;
}

int ModbusTCPParser::maxFrameSize() const
{
    return MaxTcpFrameSize;
}

int ModbusTCPParser::frameSize(const ModbusBytes &bytes, QString *error)
{
    const char *fault = headerFault(bytes);
    if (!fault && bytes.size() >= MbapUnitOffset && bytes.toUInt16(MbapLengthOffset) > MaxMbapLength)
        fault = QT_TRANSLATE_NOOP("ModbusTCPParser", "bytes array is too long");
    if (fault) {
        if (error)
            *error = errorText(tr(fault), bytes);
        return -1;
    }
    return bytes.size() < MbapUnitOffset ? 0 : MbapUnitOffset + bytes.toUInt16(MbapLengthOffset);
}

QString ModbusTCPParser::errorText(const QString &message, const ModbusBytes &bytes)
{
    return tr("ModbusTCPParser parse error: %1; bytes: %2").arg(message, Framing::hexText(bytes));
}

QString ModbusTCPParser::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Modbus TCP parser: \n"), oneLine);
}
