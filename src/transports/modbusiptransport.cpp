#include "modbusiptransport.h"

ModbusIpTransport::ModbusIpTransport(TavrexBus::BusType busType, const QHostAddress &address, int port,
                                     QObject *parent)
    : ModbusTransport(busType, parent, false)
    , m_address(address)
    , m_port(port)
{
}

QHostAddress ModbusIpTransport::address() const
{
    const std::lock_guard locker(m_mutex);
    return m_address;
}

void ModbusIpTransport::setAddress(const QHostAddress &address)
{
    {
        const std::lock_guard locker(m_mutex);
        if (m_address == address)
            return;
        m_address = address;
    }
    emit addressChanged();
}

QString ModbusIpTransport::addressStr() const
{
    return address().toString();
}

void ModbusIpTransport::setAddressStr(const QString &address)
{
    QHostAddress parsed;
    if (parsed.setAddress(address))
        setAddress(parsed);
}

int ModbusIpTransport::port() const
{
    const std::lock_guard locker(m_mutex);
    return m_port;
}

void ModbusIpTransport::setPort(int port)
{
    {
        const std::lock_guard locker(m_mutex);
        if (m_port == port)
            return;
        m_port = port;
    }
    emit portChanged();
}

int ModbusIpTransport::connectTimeout() const
{
    return m_connectTimeout;
}

void ModbusIpTransport::setConnectTimeout(int msecs)
{
    m_connectTimeout = msecs;
}

int ModbusIpTransport::disconnectTimeout() const
{
    return m_disconnectTimeout;
}

void ModbusIpTransport::setDisconnectTimeout(int msecs)
{
    m_disconnectTimeout = msecs;
}

int ModbusIpTransport::readAnswerTimeout() const
{
    return m_readAnswerTimeout;
}

void ModbusIpTransport::setReadAnswerTimeout(int msecs)
{
    m_readAnswerTimeout = msecs;
}

int ModbusIpTransport::writeTimeout() const
{
    return m_writeTimeout;
}

void ModbusIpTransport::setWriteTimeout(int msecs)
{
    m_writeTimeout = msecs;
}

QString ModbusIpTransport::timeoutsText(bool withConnect) const
{
    const QString rest = tr("disconnect: %1; read answer: %2; write: %3")
                             .arg(disconnectTimeout())
                             .arg(readAnswerTimeout())
                             .arg(writeTimeout());
    return tr("timeouts:  (%1)\n").arg(withConnect ? tr("connect: %1; ").arg(connectTimeout()) + rest : rest);
}
