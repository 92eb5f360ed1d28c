#include "modbustarget.h"

ModbusTarget::ModbusTarget(QObject *parent)
    : Target(parent)
{
}

ModbusTarget::ModbusTarget(const ModbusTarget &other)
    : Target(other)
{
}

QString ModbusTarget::toString(bool) const
{
    return QString();
}
