#include "modbustransport.h"

ModbusTransport::ModbusTransport(TavrexBus::BusType busType, QObject *parent, bool eventable)
    : EventedTransport(parent, eventable)
    , m_busType(busType)
{
}

TavrexBus::BusType ModbusTransport::busType() const
{
    return m_busType;
}

Target *ModbusTransport::defaultTarget()
{
    return clientTarget();
}

Target *ModbusTransport::clientTarget()
{
    return nullptr;
}

bool ModbusTransport::hasTarget(const Target *target)
{
    return target && target == clientTarget();
}

int ModbusTransport::targetsCount() const
{
    return m_busType == TavrexBus::ClientBus ? 1 : 0;
}
