#ifndef TAVREXBUS1_MODBUSTCPTARGET_H
#define TAVREXBUS1_MODBUSTCPTARGET_H

#include "modbusiptarget.h"

class QTcpSocket;

/// A Modbus/TCP peer, with the transaction identifier of its current exchange.
///
/// Available in QML as `ModbusTcpTarget` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusTcpTarget : public ModbusIpTarget
{
    Q_OBJECT

public:
    /// A peer at 127.0.0.1, port 502.
    explicit ModbusTcpTarget(QObject *parent = nullptr);
    /// A peer at address and port.
    ModbusTcpTarget(const QHostAddress &address, int port);
    /// A peer at 127.0.0.1, port port.
    explicit ModbusTcpTarget(int port);
    /// The peer at the far end of socket.
    ModbusTcpTarget(const QTcpSocket &socket, QObject *parent = nullptr);
    /// A copy of other, transaction identifier included.
    ModbusTcpTarget(const ModbusTcpTarget &other);

    /// The MBAP transaction identifier of the current exchange.
    quint16 transactionID() const;
    /// Sets the transaction identifier.
    void setTransactionID(quint16 id);

    /// Equal when address and port are.
    bool operator==(const ModbusTcpTarget &other) const;
    /// The opposite of operator==().
    bool operator!=(const ModbusTcpTarget &other) const;

    QString toString(bool oneLine = false) const override;

private:
    quint16 m_transactionID = 0;
};

#endif
