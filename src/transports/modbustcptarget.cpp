#include "modbustcptarget.h"

#include <QtNetwork/QTcpSocket>

ModbusTcpTarget::ModbusTcpTarget(QObject *parent)
    : ModbusIpTarget(parent)
{
}

ModbusTcpTarget::ModbusTcpTarget(const QHostAddress &address, int port)
    : ModbusIpTarget(address, port)
{
}

ModbusTcpTarget::ModbusTcpTarget(int port)
    : ModbusIpTarget(port)
{
}

ModbusTcpTarget::ModbusTcpTarget(const QTcpSocket &socket, QObject *parent)
    : ModbusIpTarget(parent)
{
    setAddress(socket.peerAddress());
    setPort(socket.peerPort());
}

ModbusTcpTarget::ModbusTcpTarget(const ModbusTcpTarget &other)
    : ModbusIpTarget(other)
    , m_transactionID(other.m_transactionID)
{
}

quint16 ModbusTcpTarget::transactionID() const
{
    return m_transactionID;
}

void ModbusTcpTarget::setTransactionID(quint16 id)
{
    m_transactionID = id;
}

bool ModbusTcpTarget::operator==(const ModbusTcpTarget &other) const
{
    return ModbusIpTarget::operator==(other) && m_transactionID == other.m_transactionID;
}

bool ModbusTcpTarget::operator!=(const ModbusTcpTarget &other) const
{
    return !(*this == other);
}

QString ModbusTcpTarget::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("address: %1; port: %2; transaction ID: %3\n")
                                        .arg(addressStr())
                                        .arg(port())
                                        .arg(m_transactionID),
                                    oneLine);
}
