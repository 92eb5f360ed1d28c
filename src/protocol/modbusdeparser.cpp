#include "modbusdeparser.h"
#include "modbuspacketarch.h"
#include "modbuspacketarchpresence.h"
#include "modbuspacketfile.h"
#include "modbuspacketreg.h"
#include "modbuspacketreport.h"
#include "modbusparser.h"
#include "modbusprotocol.h"
#include "modbustimelabel_p.h"

using namespace ModbusProtocol;

namespace {

template<typename Body>
const Body &bodyOf(const ModbusPacket &packet, TavrexBus::PacketKind kind)
{
    if (packet.kind() != kind)
        throw ModbusDeparser::tr("ERROR: invalid packet class");
    return static_cast<const Body &>(packet);
}

void writeReadRegisters(const ModbusPacketReg &packet, bool request, ModbusBytes &out)
{
    if (request) {
        if (packet.requestRegistersCount() == 0)
            throw ModbusDeparser::tr("request registers count must be greater than zero");
        out.appendUInt16(packet.requestAddress());
        out.appendUInt16(packet.requestRegistersCount());
        return;
    }
    const int count = packet.registersCount();
    if (count == 0)
        throw ModbusDeparser::tr("request registers have not registers");
    out.append(uchar(2 * count));
    out.append(packet.regBytes(), 0, 2 * count);
}

void writeWriteRegister(const ModbusPacketReg &packet, ModbusBytes &out)
{
    if (packet.registersCount() != 1)
        throw ModbusDeparser::tr("packet must have one register to write");
    out.appendUInt16(packet.requestAddress());
    out.append(packet.regBytes(), 0, 2);
}

void writeWriteRegisters(const ModbusPacketReg &packet, bool request, ModbusBytes &out)
{
    if (!request) {
        if (packet.registersWritten() == 0)
            throw ModbusDeparser::tr("you must set 'registersWritten'");
        out.appendUInt16(packet.requestAddress());
        out.appendUInt16(packet.registersWritten());
        return;
    }
    const int count = packet.registersCount();
    if (count == 0)
        throw ModbusDeparser::tr("packet must have any registers to write");
    if (count > MaxRequestRegisters)
        throw ModbusDeparser::tr("too much registers to write");
    out.appendUInt16(packet.requestAddress());
    out.appendUInt16(count);
    out.append(uchar(2 * count));
    out.append(packet.regBytes(), 0, 2 * count);
}

void writeReport(const ModbusPacketReport &packet, bool request, ModbusBytes &out)
{
    if (request)
        return;
    if (packet.bytes().isEmpty())
        throw ModbusDeparser::tr("packet must contain report bytes");
    out.append(uchar(packet.bytes().size()));
    out.append(packet.bytes());
}

void writeArchRequestHead(const ModbusPacketArch &packet, ModbusBytes &out)
{
    out.appendUInt16(packet.archIndex());
    out.appendUInt16(packet.requestRecordsCount());
    out.append(uchar(packet.archType()));
}

void writeArchRecordsRequest(const ModbusPacketArch &packet, ModbusBytes &out)
{
    if (packet.requestRecordsCount() == 0)
        throw ModbusDeparser::tr("packet must contains records");
    if (packet.archType() == TavrexBus::IndexArch && packet.requestLabel() > 0xFFFF)
        throw ModbusDeparser::tr(
                "for deparsing 65 function record index must be in less than 2 bytes length");
    writeArchRequestHead(packet, out);
    if (packet.archType() == TavrexBus::IndexArch) {
        out.appendUInt16(packet.requestLabel());
    } else if (packet.archType() == TavrexBus::TimeArch) {
        const ModbusTimeLabel::Fields f = ModbusTimeLabel::toFields(packet.requestLabel());
        for (int field : { f.second, f.minute, f.hour, f.day, f.month, f.yearByte })
            out.append(uchar(field));
    }
}

void writeArchDirectionRequest(const ModbusPacketArch &packet, ModbusBytes &out)
{
    if (packet.requestRecordsCount() == 0)
        throw ModbusDeparser::tr("packet must contains records");
    writeArchRequestHead(packet, out);
    out.appendUInt32(packet.requestLabel());
    out.append(uchar(packet.direction()));
}

void writeArchRecords(const ModbusPacketArch &packet, bool request, ModbusBytes &out)
{
    if (request) {
        if (packet.functionCode() == TavrexBus::ReadArchRecord65)
            writeArchRecordsRequest(packet, out);
        else
            writeArchDirectionRequest(packet, out);
        return;
    }
    out.append(uchar(packet.fieldsTotalSize()));
    for (const ModbusBytes &record : packet.records())
        out.append(record);
}

void writeArchPresence(const ModbusPacketArchPresence &packet, bool request, ModbusBytes &out)
{
    if (!request) {
        const int count = packet.labelsCount();
        out.append(uchar(4 * count));
        out.append(packet.labels(), 0, 4 * count);
        return;
    }
    if (packet.requestLabelsCount() == 0)
        throw ModbusDeparser::tr("requestLabelsCount must be non zero");
    out.appendUInt16(packet.archIndex());
    out.appendUInt16(packet.requestLabelsCount());
    out.append(uchar(packet.archType()));
    out.appendUInt32(packet.requestLabel());
    out.append(uchar(packet.direction()));
}

void writeReadFile(const ModbusPacketFile &packet, bool request, ModbusBytes &out)
{
    if (!request) {
        if (packet.bytes.isEmpty())
            throw ModbusDeparser::tr("read file answer has not registers");
        out.append(uchar(packet.bytes.size()));
        out.append(packet.bytes);
        return;
    }
    if (packet.requestRegistersCount == 0)
        throw ModbusDeparser::tr("file request registers count count must be greater than zero");
    out.appendUInt16(packet.requestOffset);
    out.append(uchar(packet.requestFile));
    out.append(uchar(packet.requestRegistersCount));
}

void writeWriteFile(const ModbusPacketFile &packet, bool request, ModbusBytes &out)
{
    if (!request) {
        if (packet.registersWritten == 0)
            throw ModbusDeparser::tr("regsWritten didn't set");
        out.appendUInt16(packet.requestOffset);
        out.append(uchar(packet.requestFile));
        out.append(uchar(packet.registersWritten));
        return;
    }
    const int count = packet.bytes.regsCount();
    if (count == 0)
        throw ModbusDeparser::tr("file request registers count count must be greater than zero");
    if (count > MaxRequestRegisters)
        throw ModbusDeparser::tr("too much registers to write to file");
    out.appendUInt16(packet.requestOffset);
    out.append(uchar(packet.requestFile));
    out.append(uchar(count));
    out.append(packet.bytes, 0, 2 * count);
}

} // namespace

ModbusDeparser::ModbusDeparser(QObject *parent)
    : Deparser(parent)
{
}

ModbusDeparser::~ModbusDeparser() = default;

bool ModbusDeparser::canDeparse(const IPacket &packet) const
{
    const auto *modbusPacket = dynamic_cast<const ModbusPacket *>(&packet);
    return modbusPacket && isFunctionSupported(modbusPacket->functionCode());
}

bool ModbusDeparser::isFunctionSupported(TavrexBus::FunctionCode code) const
{
    return ModbusParser::isFunctionSupported(code);
}

void ModbusDeparser::deparseModbusPDU(const ModbusPacket &packet, ModbusBytes &out) const
{
    out.truncate(0); // keeps the capacity for the next message
    appendModbusPDU(packet, out);
}

void ModbusDeparser::appendModbusPDU(const ModbusPacket &packet, ModbusBytes &out) const
{
    const int code = packet.functionCode();
    if (packet.hasException()) {
        if (packet.state() != TavrexBus::Response)
            throw tr("exception packet must have 'Responsde' state");
        out.append(uchar(code | ExceptionFlag));
        out.append(uchar(packet.exceptionCode()));
        return;
    }
    if (!ModbusParser::isFunctionSupported(packet.functionCode()))
        throw tr("unknown function code");
    out.append(uchar(code));
    if (packet.state() != TavrexBus::Request && packet.state() != TavrexBus::Response)
        return;
    const bool request = packet.state() == TavrexBus::Request;
    switch (code) {
    case TavrexBus::ReadHoldingRegisters:
    case TavrexBus::ReadInputRegisters:
        return writeReadRegisters(bodyOf<ModbusPacketReg>(packet, TavrexBus::RegistersPacket),
                                  request, out);
    case TavrexBus::WriteSingleRegister:
        return writeWriteRegister(bodyOf<ModbusPacketReg>(packet, TavrexBus::RegistersPacket),
                                  out);
    case TavrexBus::WriteMultipleRegisters:
        return writeWriteRegisters(bodyOf<ModbusPacketReg>(packet, TavrexBus::RegistersPacket),
                                   request, out);
    case TavrexBus::ReportSlaveId:
        return writeReport(bodyOf<ModbusPacketReport>(packet, TavrexBus::ReportSlavePacket),
                           request, out);
    case TavrexBus::ReadArchRecord65:
    case TavrexBus::ReadArchRecord67:
        return writeArchRecords(bodyOf<ModbusPacketArch>(packet, TavrexBus::ArchivePacket),
                                request, out);
    case TavrexBus::ReadArchPresence66:
        return writeArchPresence(
                bodyOf<ModbusPacketArchPresence>(packet, TavrexBus::ArchPresencePacket), request,
                out);
    case ReadFileRegisters:
        return writeReadFile(bodyOf<ModbusPacketFile>(packet, TavrexBus::FilePacket), request,
                             out);
    default:
        return writeWriteFile(bodyOf<ModbusPacketFile>(packet, TavrexBus::FilePacket), request,
                              out);
    }
}
