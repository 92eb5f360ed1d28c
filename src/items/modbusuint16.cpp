#include "modbusuint16.h"

ModbusUInt16::ModbusUInt16(QObject *parent)
    : ModbusItemIntBase(2, parent)
{
}

ModbusUInt16::ModbusUInt16(quint32 address, QObject *parent)
    : ModbusItemIntBase(2, address, parent)
{
}

void ModbusUInt16::setValue(int value)
{
    const quint16 v = quint16(value);
    if (v == m_value)
        return;
    m_value = v;
    setBytes(ModbusBytes::fromUInt16(v), ValueChange);
    emit valueChanged();
    emit formatValueChanged();
}

bool ModbusUInt16::writeValue(int value)
{
    const quint16 v = quint16(value);
    return write(ModbusBytes::fromUInt16(v));
}

void ModbusUInt16::updateValueFromBytes()
{
    setValue(bytes().toUInt16(0));
}

QString ModbusUInt16::formatValue() const
{
    return QString::number(m_value, base());
}

void ModbusUInt16::setFormatValue(const QString &text)
{
    bool ok = false;
    const ushort parsed = text.toUShort(&ok, base());
    if (ok)
        setValue(parsed);
}

QVariant ModbusUInt16::getTypedValue(const ModbusBytes &b) const
{
    return QVariant::fromValue<ushort>(b.toUInt16(0));
}
