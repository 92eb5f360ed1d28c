#ifndef TAVREXBUS1_MODBUSIPTARGET_H
#define TAVREXBUS1_MODBUSIPTARGET_H

#include "modbustarget.h"

#include <QtNetwork/QHostAddress>

/// A Modbus peer reached over IP.
///
/// Available in QML as `ModbusIpTarget` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusIpTarget : public ModbusTarget
{
    Q_OBJECT
    /// The peer's IP address.
    Q_PROPERTY(QString address READ addressStr WRITE setAddressStr NOTIFY addressChanged)
    /// The peer's TCP or UDP port.
    Q_PROPERTY(int port READ port WRITE setPort NOTIFY portChanged)

public:
    /// A peer at 127.0.0.1, port 502.
    explicit ModbusIpTarget(QObject *parent = nullptr);
    /// A peer at address and port.
    ModbusIpTarget(const QHostAddress &address, int port);
    /// A peer at 127.0.0.1, port port.
    explicit ModbusIpTarget(int port);
    /// A copy of other.
    ModbusIpTarget(const ModbusIpTarget &other);

    /// The peer's address.
    QHostAddress address() const;
    /// Sets the peer's address.
    void setAddress(const QHostAddress &address);
    /// Getter of the address property.
    QString addressStr() const;
    /// Setter of the address property.
    void setAddressStr(const QString &address);
    /// Getter of the port property.
    int port() const;
    /// Setter of the port property.
    void setPort(int port);

    /// Equal when address and port are.
    bool operator==(const ModbusIpTarget &other) const;
    /// The opposite of operator==().
    bool operator!=(const ModbusIpTarget &other) const;

    QString toString(bool oneLine = false) const override;

Q_SIGNALS:
    /// address changed.
    void addressChanged();
    /// port changed.
    void portChanged();

private:
    QHostAddress m_address{QHostAddress::LocalHost};
    int m_port = 502;
};

#endif
