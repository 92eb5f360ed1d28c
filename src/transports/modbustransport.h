#ifndef TAVREXBUS1_MODBUSTRANSPORT_H
#define TAVREXBUS1_MODBUSTRANSPORT_H

#include "eventedtransport.h"
#include "tavrexbus.h"

class ModbusParser;
class ModbusDeparser;

/// A transport that carries Modbus frames in one bus role and knows which framing it speaks.
///
/// Registered in QML as the uncreatable type `ModbusTransport` (`import TavrexBus 1.0`), so that QML sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT ModbusTransport : public EventedTransport
{
    Q_OBJECT
    /// Whether this link acts as client or server.
    Q_PROPERTY(TavrexBus::BusType busType READ busType CONSTANT)

public:
    /// A link in the role busType; eventable polls for device events.
    explicit ModbusTransport(TavrexBus::BusType busType, QObject *parent = nullptr, bool eventable = false);

    /// Getter of the busType property.
    TavrexBus::BusType busType() const;

    /// The client peer (clientTarget()).
    Target *defaultTarget() override;
    /// The one peer of a client link; null for a server.
    virtual Target *clientTarget();
    /// A client link has one peer, clientTarget(); a server overrides both to tell its peers.
    bool hasTarget(const Target *target) override;
    /// 1 for a client link, 0 for a server that does not override it.
    int targetsCount() const override;
    /// A new frame parser of this link's framing, with the given parent; the caller owns it.
    /// RTU framing unless the link overrides it.
    virtual ModbusParser *createParser(QObject *parent);
    /// A new frame builder of this link's framing, with the given parent; the caller owns it.
    /// RTU framing unless the link overrides it.
    virtual ModbusDeparser *createDeparser(QObject *parent);

protected:
    /// The diagnostics text every link begins with ("transport: name (bus type)", then its
    /// status), followed by lines, in one line or many.
    QString describe(const QString &name, const QString &lines, bool oneLine) const;

private:
    const TavrexBus::BusType m_busType;
};

#endif
