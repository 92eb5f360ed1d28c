#ifndef TAVREXBUS1_MODBUSIPTARGET_H
#define TAVREXBUS1_MODBUSIPTARGET_H

#include "modbustarget.h"

#include <QtNetwork/QHostAddress>

/// A Modbus peer reached over IP.
class TAVREXBUS1_EXPORT ModbusIpTarget : public ModbusTarget
{
    Q_OBJECT
    Q_PROPERTY(QString address READ addressStr WRITE setAddressStr NOTIFY addressChanged)
    Q_PROPERTY(int port READ port WRITE setPort NOTIFY portChanged)

public:
    explicit ModbusIpTarget(QObject *parent = nullptr);
    ModbusIpTarget(const QHostAddress &address, int port);
    explicit ModbusIpTarget(int port);
    ModbusIpTarget(const ModbusIpTarget &other);

    QHostAddress address() const;
    void setAddress(const QHostAddress &address);
    /// Getter of the address property.
    QString addressStr() const;
    /// Setter of the address property.
    void setAddressStr(const QString &address);
    /// Getter of the port property.
    int port() const;
    /// Setter of the port property.
    void setPort(int port);

    bool operator==(const ModbusIpTarget &other) const;
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
