#ifndef TAVREXBUS1_MODBUSTRANSPORT_H
#define TAVREXBUS1_MODBUSTRANSPORT_H

#include "eventedtransport.h"
#include "tavrexbus.h"

class ModbusParser;
class ModbusDeparser;

/// A transport that carries Modbus frames in one bus role and knows which framing it speaks.
class TAVREXBUS1_EXPORT ModbusTransport : public EventedTransport
{
    Q_OBJECT
    Q_PROPERTY(TavrexBus::BusType busType READ busType CONSTANT)

public:
    explicit ModbusTransport(TavrexBus::BusType busType, QObject *parent = nullptr, bool eventable = false);

    /// Getter of the busType property.
    TavrexBus::BusType busType() const;

    Target *defaultTarget() override;
    virtual Target *clientTarget();
    /// The caller owns the returned object (made with the given parent).
    virtual ModbusParser *createParser(QObject *parent) = 0;
    virtual ModbusDeparser *createDeparser(QObject *parent) = 0;

private:
    const TavrexBus::BusType m_busType;
};

#endif
