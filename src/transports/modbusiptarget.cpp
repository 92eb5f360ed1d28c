#include "modbusiptarget.h"

ModbusIpTarget::ModbusIpTarget(QObject *parent)
    : ModbusTarget(parent)
{
}

ModbusIpTarget::ModbusIpTarget(const QHostAddress &address, int port)
    : m_address(address)
    , m_port(port)
{
}

ModbusIpTarget::ModbusIpTarget(int port)
    : m_port(port)
{
}

ModbusIpTarget::ModbusIpTarget(const ModbusIpTarget &other)
    : ModbusTarget(other)
    , m_address(other.m_address)
    , m_port(other.m_port)
{
}

QHostAddress ModbusIpTarget::address() const
{
    return m_address;
}

void ModbusIpTarget::setAddress(const QHostAddress &address)
{
    if (m_address == address)
        return;
    m_address = address;
    emit addressChanged();
}

QString ModbusIpTarget::addressStr() const
{
    return m_address.toString();
}

void ModbusIpTarget::setAddressStr(const QString &address)
{
    setAddress(QHostAddress(address));
}

int ModbusIpTarget::port() const
{
    return m_port;
}

void ModbusIpTarget::setPort(int port)
{
    if (m_port == port)
        return;
    m_port = port;
    emit portChanged();
}

bool ModbusIpTarget::operator==(const ModbusIpTarget &other) const
{
    return ModbusTarget::operator==(other) && m_address == other.m_address && m_port == other.m_port;
}

bool ModbusIpTarget::operator!=(const ModbusIpTarget &other) const
{
    return !(*this == other);
}

QString ModbusIpTarget::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("address: %1; port: %2\n").arg(addressStr()).arg(m_port), oneLine);
}
