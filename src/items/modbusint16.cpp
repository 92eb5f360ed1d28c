#include "modbusint16.h"

ModbusInt16::ModbusInt16(QObject *parent)
    : ModbusItemIntBase(2, parent)
{
}

ModbusInt16::ModbusInt16(quint32 address, QObject *parent)
    : ModbusItemIntBase(2, address, parent)
{
}

void ModbusInt16::setValue(int value)
{
    const qint16 v = qint16(value);
    if (v == m_value)
        return;
    m_value = v;
    setBytes(ModbusBytes::fromInt16(v), ValueChange);
    emit valueChanged();
    emit formatValueChanged();
}

bool ModbusInt16::writeValue(int value)
{
    const qint16 v = qint16(value);
    return write(ModbusBytes::fromInt16(v));
}

void ModbusInt16::updateValueFromBytes()
{
    setValue(bytes().toInt16(0));
}

QString ModbusInt16::formatValue() const
{
    return QString::number(m_value, base());
}

void ModbusInt16::setFormatValue(const QString &text)
{
    bool ok = false;
    const short parsed = text.toShort(&ok, base());
    if (ok)
        setValue(parsed);
}

QVariant ModbusInt16::getTypedValue(const ModbusBytes &b) const
{
    return QVariant::fromValue<short>(b.toInt16(0));
}
