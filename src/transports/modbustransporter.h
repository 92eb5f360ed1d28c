#ifndef TAVREXBUS1_MODBUSTRANSPORTER_H
#define TAVREXBUS1_MODBUSTRANSPORTER_H

#include "transporter.h"

class ModbusTransport;

/// A transporter of Modbus transports, at most one of which plays the client role.
///
/// Registered in QML as the uncreatable type `ModbusTransporter` (`import TavrexBus 1.0`), so that QML sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT ModbusTransporter : public Transporter
{
    Q_OBJECT

public:
    /// A transporter with no transport.
    explicit ModbusTransporter(QObject *parent = nullptr);

    /// Adds a transport, as Transporter does.
    using Transporter::addTransport;
    /// Adds transport (taking ownership with addAsChild); a client transport becomes the one requests go to.
    void addTransport(EventedTransport &transport, bool addAsChild) override;
    /// Makes transport the client transport requests go to.
    void setClientTransport(ModbusTransport *transport);
    /// A transport of another thread may go at any time: there the result is only a name.
    ModbusTransport *clientTransport() const;

private:
    friend class ModbusClientExecutor;
    friend class ModbusTranslator;

    TransportLease leaseClientTransport() const;
};

#endif
