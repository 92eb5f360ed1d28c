#include "modbusdeparser.h"
#include "modbuspacketarch.h"
#include "modbuspacketarchpresence.h"
#include "modbuspacketfile.h"
#include "modbuspacketreg.h"
#include "modbuspacketreport.h"
#include "modbusparser.h"
#include "modbustimelabel_p.h"

namespace {

// Standard Modbus allows 123 registers per write; the library stays one below.
constexpr int maxWriteRegisters = 122;

inline void put8(ModbusBytes &out, uint value)
{
    const char byte = char(value & 0xFF);
    out.append(&byte, 1);
}

inline void put16(ModbusBytes &out, uint value)
{
    const char bytes[2] = { char(value >> 8), char(value) };
    out.append(bytes, 2);
}

inline void put32(ModbusBytes &out, quint32 value)
{
    const char bytes[4] = { char(value >> 24), char(value >> 16), char(value >> 8), char(value) };
    out.append(bytes, 4);
}

inline void putBytes(ModbusBytes &out, const ModbusBytes &bytes, int len)
{
    out.append(bytes.constData(), len);
}

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
        put16(out, packet.requestAddress());
        put16(out, packet.requestRegistersCount());
        return;
    }
    const int count = packet.registersCount();
    if (count == 0)
        throw ModbusDeparser::tr("request registers have not registers");
    put8(out, 2 * count);
    putBytes(out, packet.regBytes(), 2 * count);
}

void writeWriteRegister(const ModbusPacketReg &packet, ModbusBytes &out)
{
    if (packet.registersCount() != 1)
        throw ModbusDeparser::tr("packet must have one register to write");
    put16(out, packet.requestAddress());
    putBytes(out, packet.regBytes(), 2);
}

void writeWriteRegisters(const ModbusPacketReg &packet, bool request, ModbusBytes &out)
{
    if (!request) {
        if (packet.registersWritten() == 0)
            throw ModbusDeparser::tr("you must set 'registersWritten'");
        put16(out, packet.requestAddress());
        put16(out, packet.registersWritten());
        return;
    }
    const int count = packet.registersCount();
    if (count == 0)
        throw ModbusDeparser::tr("packet must have any registers to write");
    if (count > maxWriteRegisters)
        throw ModbusDeparser::tr("too much registers to write");
    put16(out, packet.requestAddress());
    put16(out, count);
    put8(out, 2 * count);
    putBytes(out, packet.regBytes(), 2 * count);
}

void writeReport(const ModbusPacketReport &packet, bool request, ModbusBytes &out)
{
    if (request)
        return;
    if (packet.bytes().isEmpty())
        throw ModbusDeparser::tr("packet must contain report bytes");
    put8(out, packet.bytes().size());
    putBytes(out, packet.bytes(), packet.bytes().size());
}

void writeArchRequestHead(const ModbusPacketArch &packet, ModbusBytes &out)
{
    put16(out, packet.archIndex());
    put16(out, packet.requestRecordsCount());
    put8(out, packet.archType());
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
        put16(out, packet.requestLabel());
    } else if (packet.archType() == TavrexBus::TimeArch) {
        const ModbusTimeLabel::Fields f = ModbusTimeLabel::toFields(packet.requestLabel());
        for (int field : { f.second, f.minute, f.hour, f.day, f.month, f.yearByte })
            put8(out, uint(field));
    }
}

void writeArchDirectionRequest(const ModbusPacketArch &packet, ModbusBytes &out)
{
    if (packet.requestRecordsCount() == 0)
        throw ModbusDeparser::tr("packet must contains records");
    writeArchRequestHead(packet, out);
    put32(out, packet.requestLabel());
    put8(out, packet.direction());
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
    put8(out, uint(packet.fieldsTotalSize()));
    for (const ModbusBytes &record : packet.records())
        putBytes(out, record, record.size());
}

void writeArchPresence(const ModbusPacketArchPresence &packet, bool request, ModbusBytes &out)
{
    if (!request) {
        const int count = packet.labelsCount();
        put8(out, 4 * count);
        putBytes(out, packet.labels(), 4 * count);
        return;
    }
    if (packet.requestLabelsCount() == 0)
        throw ModbusDeparser::tr("requestLabelsCount must be non zero");
    put16(out, packet.archIndex());
    put16(out, packet.requestLabelsCount());
    put8(out, packet.archType());
    put32(out, packet.requestLabel());
    put8(out, packet.direction());
}

void writeReadFile(const ModbusPacketFile &packet, bool request, ModbusBytes &out)
{
    if (!request) {
        if (packet.bytes.isEmpty())
            throw ModbusDeparser::tr("read file answer has not registers");
        put8(out, packet.bytes.size());
        putBytes(out, packet.bytes, packet.bytes.size());
        return;
    }
    if (packet.requestRegistersCount == 0)
        throw ModbusDeparser::tr("file request registers count count must be greater than zero");
    put16(out, packet.requestOffset);
    put8(out, packet.requestFile);
    put8(out, packet.requestRegistersCount);
}

void writeWriteFile(const ModbusPacketFile &packet, bool request, ModbusBytes &out)
{
    if (!request) {
        if (packet.registersWritten == 0)
            throw ModbusDeparser::tr("regsWritten didn't set");
        put16(out, packet.requestOffset);
        put8(out, packet.requestFile);
        put8(out, packet.registersWritten);
        return;
    }
    const int count = packet.bytes.regsCount();
    if (count == 0)
        throw ModbusDeparser::tr("file request registers count count must be greater than zero");
    if (count > maxWriteRegisters)
        throw ModbusDeparser::tr("too much registers to write to file");
    put16(out, packet.requestOffset);
    put8(out, packet.requestFile);
    put8(out, count);
    putBytes(out, packet.bytes, 2 * count);
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
        put8(out, code | 0x80);
        put8(out, packet.exceptionCode());
        return;
    }
    if (!ModbusParser::isFunctionSupported(packet.functionCode()))
        throw tr("unknown function code");
    put8(out, code);
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
    case 68:
        return writeReadFile(bodyOf<ModbusPacketFile>(packet, TavrexBus::FilePacket), request,
                             out);
    default:
        return writeWriteFile(bodyOf<ModbusPacketFile>(packet, TavrexBus::FilePacket), request,
                              out);
    }
}
