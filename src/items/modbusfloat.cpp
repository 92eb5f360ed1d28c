#include "modbusfloat.h"

ModbusFloat::ModbusFloat(QObject *parent)
    : ModbusItemFloatingBase(4, parent)
{
}

ModbusFloat::ModbusFloat(quint32 address, QObject *parent)
    : ModbusItemFloatingBase(4, address, parent)
{
}

void ModbusFloat::setValue(float value)
{
    const float v = value;
    if (v == m_value)
        return;
    m_value = v;
    setBytes(ModbusBytes::fromFloat(v), ValueChange);
    emit valueChanged();
    emit formatValueChanged();
}

bool ModbusFloat::writeValue(float value)
{
    const float v = value;
    return write(ModbusBytes::fromFloat(v));
}

void ModbusFloat::updateValueFromBytes()
{
    setValue(bytes().toFloat(0));
}

QString ModbusFloat::formatValue() const
{
    return QString::number(m_value, format(), precision());
}

void ModbusFloat::setFormatValue(const QString &text)
{
    bool ok = false;
    const float parsed = text.toFloat(&ok);
    if (ok)
        setValue(parsed);
}

QVariant ModbusFloat::getTypedValue(const ModbusBytes &b) const
{
    return QVariant::fromValue<float>(b.toFloat(0));
}
