#include "modbusdouble.h"

ModbusDouble::ModbusDouble(QObject *parent)
    : ModbusItemFloatingBase(8, parent)
{
}

ModbusDouble::ModbusDouble(quint32 address, QObject *parent)
    : ModbusItemFloatingBase(8, address, parent)
{
}

bool ModbusDouble::storeValue(double value, const ModbusBytes &encoded)
{
    if (value == m_value)
        return false;
    m_value = value;
    setBytes(encoded, ValueChange);
    emit valueChanged();
    emit formatValueChanged();
    return true;
}

void ModbusDouble::setValue(const double &value)
{
    storeValue(value, ModbusBytes::fromDouble(value));
}

bool ModbusDouble::writeValue(double value)
{
    return write(ModbusBytes::fromDouble(value));
}

void ModbusDouble::updateValueFromBytes()
{
    setValue(bytes().toDouble(0));
}

QString ModbusDouble::formatValue() const
{
    return QString::number(m_value, format(), precision());
}

void ModbusDouble::setFormatValue(const QString &text)
{
    bool ok = false;
    const double parsed = text.toDouble(&ok);
    if (ok)
        setValue(parsed);
}

QVariant ModbusDouble::getTypedValue(const ModbusBytes &b) const
{
    return QVariant(b.toDouble(0));
}
