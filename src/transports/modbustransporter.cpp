#include "modbustransporter.h"

#include "modbustransport.h"
#include "transportlifeline_p.h"

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
        // A transport of another thread may have gone meanwhile.
        const TransportLease held = lease(*it);
        auto *modbus = held ? qobject_cast<ModbusTransport *>(*it) : nullptr;
        if (modbus && modbus != transport && modbus->busType() == TavrexBus::ClientBus)
            removeTransport(*modbus);
    }
    if (transport && !transports().contains(transport))
        addTransport(*transport, false);
}

ModbusTransport *ModbusTransporter::clientTransport() const
{
    return static_cast<ModbusTransport *>(leaseClientTransport().transport());
}

TransportLease ModbusTransporter::leaseClientTransport() const
{
    return lease([](EventedTransport &transport) {
        const auto *modbus = qobject_cast<const ModbusTransport *>(&transport);
        return modbus && modbus->busType() == TavrexBus::ClientBus;
    });
}
