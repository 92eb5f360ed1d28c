#include "modbusint32.h"

ModbusInt32::ModbusInt32(QObject *parent)
    : ModbusItemIntBase(4, parent)
{
}

ModbusInt32::ModbusInt32(quint32 address, QObject *parent)
    : ModbusItemIntBase(4, address, parent)
{
}

void ModbusInt32::setValue(qint32 value)
{
    const qint32 v = value;
    if (v == m_value)
        return;
    m_value = v;
    setBytes(ModbusBytes::fromInt32(v), ValueChange);
    emit valueChanged();
    emit formatValueChanged();
}

bool ModbusInt32::writeValue(qint32 value)
{
    const qint32 v = value;
    return write(ModbusBytes::fromInt32(v));
}

void ModbusInt32::updateValueFromBytes()
{
    setValue(bytes().toInt32(0));
}

QString ModbusInt32::formatValue() const
{
    return QString::number(m_value, base());
}

void ModbusInt32::setFormatValue(const QString &text)
{
    bool ok = false;
    const int parsed = text.toInt(&ok, base());
    if (ok)
        setValue(parsed);
}

QVariant ModbusInt32::getTypedValue(const ModbusBytes &b) const
{
    return QVariant::fromValue<int>(b.toInt32(0));
}
