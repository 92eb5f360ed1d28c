#include "modbusint64.h"

ModbusInt64::ModbusInt64(QObject *parent)
    : ModbusItemIntBase(8, parent)
{
}

ModbusInt64::ModbusInt64(quint32 address, QObject *parent)
    : ModbusItemIntBase(8, address, parent)
{
}

void ModbusInt64::setValue(qint64 value)
{
    if (value == m_value)
        return;
    m_value = value;
    setBytes(ModbusBytes::fromInt64(value), ValueChange);
    emit valueChanged();
    emit formatValueChanged();
}

bool ModbusInt64::writeValue(qint64 value)
{
    return write(ModbusBytes::fromInt64(value));
}

void ModbusInt64::updateValueFromBytes()
{
    setValue(bytes().toInt64(0));
}

QString ModbusInt64::formatValue() const
{
    return QString::number(m_value, base());
}

void ModbusInt64::setFormatValue(const QString &text)
{
    bool ok = false;
    const qlonglong parsed = text.toLongLong(&ok, base());
    if (ok)
        setValue(parsed);
}

QVariant ModbusInt64::getTypedValue(const ModbusBytes &b) const
{
    return QVariant::fromValue<qlonglong>(b.toInt64(0));
}
