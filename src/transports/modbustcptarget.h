#ifndef MODBUSTCPTARGET_H
#define MODBUSTCPTARGET_H

#include "modbusiptarget.h"

QT_BEGIN_NAMESPACE
class QTcpSocket;
QT_END_NAMESPACE

// A Modbus/TCP peer; carries the transaction identifier of the exchange in progress.
class TAVREXBUS1_EXPORT ModbusTcpTarget : public ModbusIpTarget
{
    Q_OBJECT
public:
    explicit ModbusTcpTarget(QObject *parent = nullptr);
    ModbusTcpTarget(const QHostAddress &address, int port);
    explicit ModbusTcpTarget(int port);
    ModbusTcpTarget(const QTcpSocket &socket, QObject *parent);
    ModbusTcpTarget(const ModbusTcpTarget &other);

    QString toString(bool oneLine) const override;

    quint16 transactionID() const { return m_transactionID; }
    void setTransactionID(quint16 id) { m_transactionID = id; }

    bool operator==(const ModbusTcpTarget &other) const;
    bool operator!=(const ModbusTcpTarget &other) const { return !(*this == other); }

private:
    quint16 m_transactionID = 0;
};

#endif // MODBUSTCPTARGET_H
