#include "modbusint8.h"

ModbusInt8::ModbusInt8(QObject *parent)
    : ModbusItemByteBase(parent)
{
}

ModbusInt8::ModbusInt8(quint32 address, QObject *parent)
    : ModbusItemByteBase(address, parent)
{
}

void ModbusInt8::setValue(int value)
{
    const qint8 v = qint8(value);
    if (v == m_value)
        return;
    m_value = v;
    setBytes(ModbusBytes::fromInt8(v, false), ValueChange);
    emit valueChanged();
    emit formatValueChanged();
}

bool ModbusInt8::writeValue(int value)
{
    const qint8 v = qint8(value);
    return write(ModbusBytes::fromInt8(v, alignToWord()));
}

void ModbusInt8::updateValueFromBytes()
{
    setValue(bytes().toInt8(0, false));
}

QString ModbusInt8::formatValue() const
{
    return QString::number(m_value, base());
}

void ModbusInt8::setFormatValue(const QString &text)
{
    bool ok = false;
    const short parsed = text.toShort(&ok, base());
    if (ok)
        setValue(qint8(parsed));
}

QVariant ModbusInt8::getTypedValue(const ModbusBytes &b) const
{
    return QVariant(int(b.toInt8(0, false)));
}
