#include "modbustcppacketdispatcher.h"

ModbusTCPPacketDispatcher::ModbusTCPPacketDispatcher(QObject *parent)
    : PacketDispatcher(parent)
{
}

ModbusTCPPacketDispatcher::~ModbusTCPPacketDispatcher() = default;

QString ModbusTCPPacketDispatcher::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Modbus TCP packet dispatcher: \n"), oneLine);
}

void ModbusTCPPacketDispatcher::onPacketReceiving(const IPacket &, const Target *, bool &)
{
}

void ModbusTCPPacketDispatcher::onPacketSending(const IPacket &, const Target *, bool &)
{
}
