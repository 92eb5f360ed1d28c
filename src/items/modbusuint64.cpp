#include "modbusuint64.h"

ModbusUInt64::ModbusUInt64(QObject *parent)
    : ModbusItemIntBase(8, parent)
{
}

ModbusUInt64::ModbusUInt64(quint32 address, QObject *parent)
    : ModbusItemIntBase(8, address, parent)
{
}

void ModbusUInt64::setValue(quint64 value)
{
    const quint64 v = value;
    if (v == m_value)
        return;
    m_value = v;
    setBytes(ModbusBytes::fromUInt64(v), ValueChange);
    emit valueChanged();
    emit formatValueChanged();
}

bool ModbusUInt64::writeValue(quint64 value)
{
    const quint64 v = value;
    return write(ModbusBytes::fromUInt64(v));
}

void ModbusUInt64::updateValueFromBytes()
{
    setValue(bytes().toUInt64(0));
}

QString ModbusUInt64::formatValue() const
{
    return QString::number(m_value, base());
}

void ModbusUInt64::setFormatValue(const QString &text)
{
    bool ok = false;
    const qulonglong parsed = text.toULongLong(&ok, base());
    if (ok)
        setValue(parsed);
}

QVariant ModbusUInt64::getTypedValue(const ModbusBytes &b) const
{
    return QVariant::fromValue<qulonglong>(b.toUInt64(0));
}
