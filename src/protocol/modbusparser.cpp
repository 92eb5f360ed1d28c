#include "modbusparser.h"
#include "modbuspacketarch.h"
#include "modbuspacketarchpresence.h"
#include "modbuspacketfile.h"
#include "modbuspacketreg.h"
#include "modbuspacketreport.h"
#include "modbusparseinfo.h"
#include "modbusprotocol.h"
#include "modbustimelabel_p.h"

using namespace ModbusProtocol;

// The parsing functions read with the unchecked at() only after checkDataSize has proved the
// offsets inside the PDU.
namespace {

// Frame parsers hand in views of their frame; a stored field must own its bytes.
inline ModbusBytes copyOf(const ModbusBytes &pdu, int pos, int len)
{
    return ModbusBytes(QByteArray(pdu.constData() + pos, len));
}

// Answers whose byte 1 counts the data bytes that follow it.
inline bool countedSize(const ModbusBytes &pdu, int minSize)
{
    return pdu.size() >= minSize && pdu.size() == pdu.at(1) + 2;
}

bool archRecordsRequestSize(const ModbusBytes &pdu)
{
    if (pdu.size() < 8 || !ModbusParser::isValidArchTypeNum(pdu.at(5)))
        return false;
    return pdu.size() == (pdu.at(5) == TavrexBus::IndexArch ? 8 : 12);
}

template<typename Body>
Body &bodyOf(ModbusPacket &packet, TavrexBus::PacketKind kind)
{
    if (packet.kind() != kind)
        throw ModbusParser::tr("unknown Function Code");
    return static_cast<Body &>(packet);
}

int checkedByteCount(const ModbusBytes &pdu)
{
    const int count = pdu.at(1);
    if (count + 2 > pdu.size())
        throw ModbusParser::tr("Modbus PDU is too short");
    if (count + 2 < pdu.size())
        throw ModbusParser::tr("Modbus PDU is too long");
    if (count % 2)
        throw ModbusParser::tr("Bad Modbus PDU(bytes count)");
    return count;
}

TavrexBus::ArchType checkedArchType(const ModbusBytes &pdu)
{
    if (!ModbusParser::isValidArchTypeNum(pdu.at(5)))
        throw ModbusParser::tr("unknown arch type");
    return TavrexBus::ArchType(pdu.at(5));
}

TavrexBus::ArchDirection checkedDirection(const ModbusBytes &pdu)
{
    if (!ModbusParser::isValidArchDirectionNum(pdu.at(10)))
        throw ModbusParser::tr("unknown arch direction");
    return TavrexBus::ArchDirection(pdu.at(10));
}

void parseReadRegisters(const ModbusBytes &pdu, bool request, ModbusPacketReg &packet)
{
    if (request) {
        const quint16 count = pdu.toUInt16(3);
        if (count == 0)
            throw ModbusParser::tr("reading registers count can't be zero");
        packet.setRequestAddress(pdu.toUInt16(1));
        packet.setRequestRegistersCount(count);
    } else {
        packet.appendRegBytes(copyOf(pdu, 2, checkedByteCount(pdu)));
    }
}

void parseWriteRegister(const ModbusBytes &pdu, bool request, ModbusPacketReg &packet)
{
    packet.setRequestAddress(pdu.toUInt16(1));
    packet.setRequestRegistersCount(1);
    if (request)
        packet.appendRegBytes(copyOf(pdu, 3, 2));
}

void parseWriteRegisters(const ModbusBytes &pdu, bool request, ModbusPacketReg &packet)
{
    const quint16 count = pdu.toUInt16(3);
    if (count == 0)
        throw ModbusParser::tr("writing registers count can't be zero");
    if (!request) {
        packet.setRegistersWritten(count);
        return;
    }
    if (pdu.size() < 8)
        throw ModbusParser::tr("package length is too short");
    if (pdu.at(5) != 2 * count)
        throw ModbusParser::tr("registers count and bytes count doesn't match");
    packet.setRequestAddress(pdu.toUInt16(1));
    packet.setRequestRegistersCount(count);
    packet.appendRegBytes(copyOf(pdu, 6, 2 * count));
}

void parseReport(const ModbusBytes &pdu, bool request, ModbusPacketReport &packet)
{
    if (request)
        return;
    if (pdu.at(1) == 0)
        throw ModbusParser::tr("Invalid bytes count value or bytes length");
    packet.setBytes(copyOf(pdu, 2, pdu.size() - 2));
}

// Archive requests begin alike: archive index, a count that may not be 0 and the archive type.
template<typename Packet>
quint16 parseArchHead(const ModbusBytes &pdu, const char *zeroCount, Packet &packet)
{
    const TavrexBus::ArchType archType = checkedArchType(pdu);
    const quint16 count = pdu.toUInt16(3);
    if (count == 0)
        throw ModbusParser::tr(zeroCount);
    packet.setArchType(archType);
    packet.setArchIndex(pdu.toUInt16(1));
    return count;
}

// Functions 66 and 67 go on with a 32-bit label and a direction.
template<typename Packet>
void parseLabelAndDirection(const ModbusBytes &pdu, Packet &packet)
{
    const TavrexBus::ArchDirection direction = checkedDirection(pdu);
    packet.setRequestLabel(pdu.toUInt32(6));
    packet.setDirection(direction);
}

void parseArchRecordsRequest(const ModbusBytes &pdu, ModbusPacketArch &packet)
{
    packet.setRequestRecordsCount(parseArchHead(
            pdu, QT_TRANSLATE_NOOP("ModbusParser", "read arch records count can't be zero"), packet));
    if (packet.archType() == TavrexBus::IndexArch) {
        packet.setRequestLabel(pdu.toUInt16(6));
        return;
    }
    packet.setRequestLabel(ModbusTimeLabel::fromFields({ pdu.at(6), pdu.at(7),
                                                         pdu.at(8), pdu.at(9),
                                                         pdu.at(10), pdu.at(11) }));
}

void parseArchDirectionRequest(const ModbusBytes &pdu, ModbusPacketArch &packet)
{
    packet.setRequestRecordsCount(parseArchHead(
            pdu, QT_TRANSLATE_NOOP("ModbusParser", "read arch request records count can't be zero"), packet));
    if (pdu.size() != 11)
        throw ModbusParser::tr("invalid bytes array length");
    parseLabelAndDirection(pdu, packet);
}

void parseArchRecordsAnswer(const ModbusBytes &pdu, const ModbusParseInfo &info,
                            ModbusPacketArch &packet)
{
    packet.setArchType(info.archType());
    const int records = qMax<int>(info.requestCount(), 1);
    const int total = pdu.at(1);
    if (total % records)
        throw ModbusParser::tr(
                "invalid arch record data length or response records count doesn't match requested");
    const int recordSize = total / records;
    for (int pos = 2; pos < pdu.size(); pos += recordSize)
        packet.appendRecords(copyOf(pdu, pos, qMin(recordSize, int(pdu.size()) - pos)));
}

void parseArchPresence(const ModbusBytes &pdu, const ModbusParseInfo &info, bool request,
                       ModbusPacketArchPresence &packet)
{
    if (!request) {
        packet.setArchType(info.archType());
        packet.appendLabels(copyOf(pdu, 2, (pdu.size() - 2) & ~3));
        return;
    }
    packet.setRequestLabelsCount(parseArchHead(
            pdu, QT_TRANSLATE_NOOP("ModbusParser", "read arch labels count can't be zero"), packet));
    parseLabelAndDirection(pdu, packet);
}

void parseReadFile(const ModbusBytes &pdu, bool request, ModbusPacketFile &packet)
{
    if (!request) {
        packet.bytes = copyOf(pdu, 2, checkedByteCount(pdu));
        return;
    }
    if (pdu.at(4) == 0)
        throw ModbusParser::tr("reading file registers count can't be zero");
    packet.requestOffset = pdu.toUInt16(1);
    packet.requestFile = pdu.at(3);
    packet.requestRegistersCount = pdu.at(4);
}

void parseWriteFile(const ModbusBytes &pdu, bool request, ModbusPacketFile &packet)
{
    packet.requestOffset = pdu.toUInt16(1);
    packet.requestFile = pdu.at(3);
    if (!request) {
        packet.registersWritten = pdu.at(4);
        return;
    }
    if (2 * pdu.at(4) != pdu.size() - 5)
        throw ModbusParser::tr("registers count and bytes count doesn't match");
    packet.requestRegistersCount = pdu.at(4);
    packet.bytes = copyOf(pdu, 5, pdu.size() - 5);
}

// Fills the body of a request or answer whose function code and size are already checked.
void parseBody(const ModbusBytes &pdu, const ModbusParseInfo &info, bool request, ModbusPacket &packet)
{
    switch (int(packet.functionCode())) {
    case TavrexBus::ReadHoldingRegisters:
    case TavrexBus::ReadInputRegisters:
        return parseReadRegisters(pdu, request,
                                  bodyOf<ModbusPacketReg>(packet, TavrexBus::RegistersPacket));
    case TavrexBus::WriteSingleRegister:
        return parseWriteRegister(pdu, request,
                                  bodyOf<ModbusPacketReg>(packet, TavrexBus::RegistersPacket));
    case TavrexBus::WriteMultipleRegisters:
        return parseWriteRegisters(pdu, request,
                                   bodyOf<ModbusPacketReg>(packet, TavrexBus::RegistersPacket));
    case TavrexBus::ReportSlaveId:
        return parseReport(pdu, request,
                           bodyOf<ModbusPacketReport>(packet, TavrexBus::ReportSlavePacket));
    case TavrexBus::ReadArchRecord65:
    case TavrexBus::ReadArchRecord67: {
        auto &arch = bodyOf<ModbusPacketArch>(packet, TavrexBus::ArchivePacket);
        if (!request)
            return parseArchRecordsAnswer(pdu, info, arch);
        if (packet.functionCode() == TavrexBus::ReadArchRecord65)
            return parseArchRecordsRequest(pdu, arch);
        return parseArchDirectionRequest(pdu, arch);
    }
    case TavrexBus::ReadArchPresence66:
        return parseArchPresence(
                pdu, info, request,
                bodyOf<ModbusPacketArchPresence>(packet, TavrexBus::ArchPresencePacket));
    case ReadFileRegisters:
        return parseReadFile(pdu, request, bodyOf<ModbusPacketFile>(packet, TavrexBus::FilePacket));
    case WriteFileRegisters:
        return parseWriteFile(pdu, request,
                              bodyOf<ModbusPacketFile>(packet, TavrexBus::FilePacket));
    default:
        throw ModbusParser::tr("unknown Function Code");
    }
}

} // namespace

ModbusParser::ModbusParser(QObject *parent)
    : VParser(parent)
{
}

ModbusParser::~ModbusParser() = default;

bool ModbusParser::canParse(const ModbusBytes &pdu, TavrexBus::PacketState state) const
{
    if (pdu.size() < 1 || pdu.size() > MaxPduSize)
        return false;
    const uchar code = pdu.at(0) & ~ExceptionFlag;
    return isValidFunctionCodeNum(code) && isFunctionSupported(TavrexBus::FunctionCode(code))
            && checkDataSize(pdu, state);
}

QString ModbusParser::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Modbus parser: \n"), oneLine);
}

bool ModbusParser::checkDataSize(const ModbusBytes &pdu, TavrexBus::PacketState state) const
{
    if (pdu.isEmpty())
        return false;
    const uchar first = pdu.at(0);
    const int size = pdu.size();
    if (first & ExceptionFlag)
        return size == 2;
    if (state != TavrexBus::Request && state != TavrexBus::Response)
        return false;
    const bool request = state == TavrexBus::Request;
    switch (first) {
    case TavrexBus::ReadHoldingRegisters:
    case TavrexBus::ReadInputRegisters:
        return request ? size == 5 : countedSize(pdu, 2);
    case TavrexBus::WriteSingleRegister:
        return size == 5;
    case TavrexBus::WriteMultipleRegisters:
        return request ? size >= 8 && size == pdu.at(5) + 6 : size == 5;
    case TavrexBus::ReportSlaveId:
        return request ? size == 1 : countedSize(pdu, 3);
    case TavrexBus::ReadArchRecord65:
        return request ? archRecordsRequestSize(pdu) : countedSize(pdu, 3);
    case TavrexBus::ReadArchPresence66:
        return request ? size == 11 : countedSize(pdu, 2);
    case TavrexBus::ReadArchRecord67:
        return request ? size == 11 : countedSize(pdu, 3);
    case ReadFileRegisters:
        return request ? size == 5 : countedSize(pdu, 2);
    case WriteFileRegisters:
        return request ? size >= 5 && size == 2 * pdu.at(4) + 5 : size == 5;
    default:
        throw VParser::tr("unsupported funcion code");
    }
}

ModbusPacket *ModbusParser::createPacket(const ModbusBytes &pdu, const ModbusParseInfo &info) const
{
    if (pdu.isEmpty())
        throw tr("invalid bytes array size");
    const uchar first = pdu.at(0);
    const uchar code = first & ~ExceptionFlag;
    if (!isValidFunctionCodeNum(code))
        throw tr("unknown Function Code");
    if (!isFunctionSupported(TavrexBus::FunctionCode(code)))
        throw tr("unsupported Function Code");
    TavrexBus::ExceptionCode exception = TavrexBus::NoException;
    if (first & ExceptionFlag) {
        // Code 0 would turn an exception answer into an ordinary one.
        if (pdu.size() < 2 || pdu.at(1) == 0 || !isValidExceptionCodeNum(pdu.at(1)))
            throw tr("unknown Exception Code");
        exception = TavrexBus::ExceptionCode(pdu.at(1));
    }
    ModbusPacket *packet = nullptr;
    switch (code) {
    case TavrexBus::ReportSlaveId:
        packet = new ModbusPacketReport;
        break;
    case TavrexBus::ReadArchRecord65:
    case TavrexBus::ReadArchRecord67:
        packet = new ModbusPacketArch(info.archType());
        break;
    case TavrexBus::ReadArchPresence66:
        packet = new ModbusPacketArchPresence(info.archType());
        break;
    case ReadFileRegisters:
    case WriteFileRegisters:
        packet = new ModbusPacketFile;
        break;
    default:
        packet = new ModbusPacketReg;
        break;
    }
    packet->setFunctionCode(TavrexBus::FunctionCode(code));
    packet->setExceptionCode(exception);
    packet->setState(info.state());
    return packet;
}

void ModbusParser::parseModbusPDU(const ModbusBytes &pdu, const ModbusParseInfo &info,
                                  ModbusPacket &packet) const
{
    if (pdu.size() > MaxPduSize)
        throw tr("bytes array is too long");
    packet.setState(info.state());
    if (packet.hasException())
        return;
    if (!checkDataSize(pdu, packet.state()))
        throw tr("invalid bytes array size");
    if (pdu.at(0) != int(packet.functionCode()))
        throw tr("unknown Function Code");
    if (packet.state() != TavrexBus::Request && packet.state() != TavrexBus::Response)
        return;
    parseBody(pdu, info, packet.state() == TavrexBus::Request, packet);
}

bool ModbusParser::isValidFunctionCodeNum(unsigned char code)
{
    return (code >= 1 && code <= 8) || code == 11 || code == 12 || code == 15 || code == 16
            || code == 17 || (code >= 20 && code <= 24) || code == 43
            || (code >= TavrexBus::ReadArchRecord65 && code <= WriteFileRegisters);
}

bool ModbusParser::isFunctionSupported(TavrexBus::FunctionCode code)
{
    switch (int(code)) {
    case TavrexBus::ReadHoldingRegisters:
    case TavrexBus::ReadInputRegisters:
    case TavrexBus::WriteSingleRegister:
    case TavrexBus::WriteMultipleRegisters:
    case TavrexBus::ReportSlaveId:
    case TavrexBus::ReadArchRecord65:
    case TavrexBus::ReadArchPresence66:
    case TavrexBus::ReadArchRecord67:
    case ReadFileRegisters:
    case WriteFileRegisters:
        return true;
    default:
        return false;
    }
}

bool ModbusParser::isValidExceptionCodeNum(unsigned char code)
{
    return code <= 6 || code == 8 || code == 10 || code == 11;
}

bool ModbusParser::isValidArchTypeNum(unsigned char value)
{
    return value <= 1;
}

bool ModbusParser::isValidArchDirectionNum(unsigned char value)
{
    return value <= 1;
}
