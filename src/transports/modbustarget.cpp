#include "modbustarget.h"

ModbusTarget::ModbusTarget(QObject *parent)
    : Target(parent)
{
}

ModbusTarget::ModbusTarget(const ModbusTarget &)
    : Target(nullptr)
{
}

bool ModbusTarget::operator==(const ModbusTarget &) const
{
    return true;
}

bool ModbusTarget::operator!=(const ModbusTarget &other) const
{
    return !(*this == other);
}

QString ModbusTarget::toString(bool) const
{
    return QString();
}
