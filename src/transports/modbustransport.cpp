#include "modbustransport.h"

#include "modbusrtudeparser.h"
#include "modbusrtuparser.h"

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

ModbusParser *ModbusTransport::createParser(QObject *parent)
{
    return new ModbusRTUParser(parent);
}

ModbusDeparser *ModbusTransport::createDeparser(QObject *parent)
{
    return new ModbusRTUDeparser(parent);
}

QString ModbusTransport::describe(const QString &name, const QString &lines, bool oneLine) const
{
    return formatLines(tr("transport: %1 (%2)\n").arg(name, TavrexBus::busTypeStr(busType()))
                           + tr("status: %1\n").arg(connected() ? tr("connected") : tr("disconnected")) + lines,
                       oneLine);
}
