#ifndef MODBUSIPTARGET_H
#define MODBUSIPTARGET_H

#include "modbustarget.h"

#include <QtNetwork/QHostAddress>

// A Modbus peer with an IP address and port.
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

    QString toString(bool oneLine) const override;

    QHostAddress address() const { return m_address; }
    void setAddress(const QHostAddress &address);
    QString addressStr() const;
    void setAddressStr(const QString &address);
    int port() const { return m_port; }
    void setPort(int port);

    bool operator==(const ModbusIpTarget &other) const;
    bool operator!=(const ModbusIpTarget &other) const { return !(*this == other); }

Q_SIGNALS:
    void addressChanged();
    void portChanged();

private:
    QHostAddress m_address{QHostAddress::LocalHost};
    int m_port = 502;
};

#endif // MODBUSIPTARGET_H
