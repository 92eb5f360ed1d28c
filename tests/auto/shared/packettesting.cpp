#include "packettesting.h"

#include <TavrexBus1/modbuspacketarch.h>
#include <TavrexBus1/modbuspacketarchpresence.h>
#include <TavrexBus1/modbuspacketfile.h>
#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbuspacketreport.h>

#include <list>
#include <memory>

namespace PacketTesting {

ModbusBytes hex(const char *text)
{
    return ModbusBytes(QByteArray::fromHex(QByteArray(text).replace(' ', "")));
}

ModbusBytes exact(const QByteArray &bytes)
{
    static std::list<std::unique_ptr<char[]>> blocks;
    blocks.emplace_back(new char[size_t(qMax<qsizetype>(bytes.size(), 1))]);
    memcpy(blocks.back().get(), bytes.constData(), size_t(bytes.size()));
    return ModbusBytes(QByteArray::fromRawData(blocks.back().get(), bytes.size()));
}

template<typename T>
static bool sameAs(const ModbusPacket &a, const ModbusPacket &b)
{
    return static_cast<const T &>(a) == static_cast<const T &>(b);
}

bool equal(const ModbusPacket &a, const ModbusPacket &b)
{
    if (a.kind() != b.kind())
        return false;
    switch (a.kind()) {
    case TavrexBus::RegistersPacket: return sameAs<ModbusPacketReg>(a, b);
    case TavrexBus::ArchivePacket: return sameAs<ModbusPacketArch>(a, b);
    case TavrexBus::ReportSlavePacket: return sameAs<ModbusPacketReport>(a, b);
    case TavrexBus::ArchPresencePacket: return sameAs<ModbusPacketArchPresence>(a, b);
    case TavrexBus::FilePacket: return sameAs<ModbusPacketFile>(a, b);
    }
    return false;
}

} // namespace PacketTesting
