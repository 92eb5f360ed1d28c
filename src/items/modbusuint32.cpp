#include "modbusuint32.h"

ModbusUInt32::ModbusUInt32(QObject *parent)
    : ModbusItemIntBase(4, parent)
{
}

ModbusUInt32::ModbusUInt32(quint32 address, QObject *parent)
    : ModbusItemIntBase(4, address, parent)
{
}

void ModbusUInt32::setValue(quint32 value)
{
    const quint32 v = value;
    if (v == m_value)
        return;
    m_value = v;
    setBytes(ModbusBytes::fromUInt32(v), ValueChange);
    emit valueChanged();
    emit formatValueChanged();
}

bool ModbusUInt32::writeValue(quint32 value)
{
    const quint32 v = value;
    return write(ModbusBytes::fromUInt32(v));
}

void ModbusUInt32::updateValueFromBytes()
{
    setValue(bytes().toUInt32(0));
}

QString ModbusUInt32::formatValue() const
{
    return QString::number(m_value, base());
}

void ModbusUInt32::setFormatValue(const QString &text)
{
    bool ok = false;
    const uint parsed = text.toUInt(&ok, base());
    if (ok)
        setValue(parsed);
}

QVariant ModbusUInt32::getTypedValue(const ModbusBytes &b) const
{
    return QVariant::fromValue<uint>(b.toUInt32(0));
}
