#include "modbustransporter.h"

#include "modbustransport.h"

ModbusTransporter::ModbusTransporter(QObject *parent)
    : Transporter(parent)
{
}

void ModbusTransporter::addTransport(EventedTransport &transport, bool addAsChild)
{
    if (!qobject_cast<ModbusTransport *>(&transport)) {
        setErrorString(tr("you can add only ModbusTransport"));
        return;
    }
    Transporter::addTransport(transport, addAsChild);
}

void ModbusTransporter::setClientTransport(ModbusTransport *transport)
{
    if (transport && transport->busType() == TavrexBus::ServerBus) {
        setErrorString(tr("you can set only modbus transport of ModbusClient type"));
        return;
    }
    const QList<EventedTransport *> listed = transports();
    for (auto it = listed.crbegin(); it != listed.crend(); ++it) {
        auto *modbus = qobject_cast<ModbusTransport *>(*it);
        if (modbus && modbus != transport && modbus->busType() == TavrexBus::ClientBus)
            removeTransport(*modbus);
    }
    if (transport && !listed.contains(transport))
        addTransport(*transport, false);
}

ModbusTransport *ModbusTransporter::clientTransport() const
{
    for (EventedTransport *transport : transports()) {
        auto *modbus = qobject_cast<ModbusTransport *>(transport);
        if (modbus && modbus->busType() == TavrexBus::ClientBus)
            return modbus;
    }
    return nullptr;
}
