#ifndef TAVREXBUS1_MODBUSTRANSPORTER_H
#define TAVREXBUS1_MODBUSTRANSPORTER_H

#include "transporter.h"

class ModbusTransport;

// A transporter of Modbus transports, at most one of which plays the client role.
class TAVREXBUS1_EXPORT ModbusTransporter : public Transporter
{
    Q_OBJECT

public:
    explicit ModbusTransporter(QObject *parent = nullptr);

    using Transporter::addTransport;
    void addTransport(EventedTransport &transport, bool addAsChild) override;
    void setClientTransport(ModbusTransport *transport);
    ModbusTransport *clientTransport() const;
};

#endif
