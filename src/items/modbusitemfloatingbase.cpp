#include "modbusitemfloatingbase.h"

void ModbusItemFloatingBase::setFormat(char format)
{
    if (format == m_format)
        return;
    m_format = format;
    emit formatChanged();
}

void ModbusItemFloatingBase::setFormatString(const QString &format)
{
    if (format.size() == 1)
        setFormat(format.at(0).toLatin1());
}

void ModbusItemFloatingBase::setPrecision(int precision)
{
    if (precision == m_precision)
        return;
    m_precision = precision;
    emit precisionChanged();
}
