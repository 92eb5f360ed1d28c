#ifndef TAVREXBUS1_MODBUSTCPTARGET_H
#define TAVREXBUS1_MODBUSTCPTARGET_H

#include "modbusiptarget.h"

class QTcpSocket;

/// A Modbus/TCP peer, with the transaction identifier of its current exchange.
class TAVREXBUS1_EXPORT ModbusTcpTarget : public ModbusIpTarget
{
    Q_OBJECT

public:
    explicit ModbusTcpTarget(QObject *parent = nullptr);
    ModbusTcpTarget(const QHostAddress &address, int port);
    explicit ModbusTcpTarget(int port);
    ModbusTcpTarget(const QTcpSocket &socket, QObject *parent = nullptr);
    ModbusTcpTarget(const ModbusTcpTarget &other);

    quint16 transactionID() const;
    void setTransactionID(quint16 id);

    bool operator==(const ModbusTcpTarget &other) const;
    bool operator!=(const ModbusTcpTarget &other) const;

    QString toString(bool oneLine = false) const override;

private:
    quint16 m_transactionID = 0;
};

#endif
