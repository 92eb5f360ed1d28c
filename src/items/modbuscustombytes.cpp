#include "modbuscustombytes.h"

ModbusCustomBytes::ModbusCustomBytes(QObject *parent)
    : ModbusItemAddressedBase(1, parent)
{
}

ModbusCustomBytes::ModbusCustomBytes(quint32 address, QObject *parent)
    : ModbusItemAddressedBase(1, address, parent)
{
}

bool ModbusCustomBytes::storeValue(const QString &value, const ModbusBytes &encoded)
{
    if (value == m_value)
        return false;
    m_value = value;
    setBytes(encoded, ValueChange);
    emit valueChanged(value);
    emit formatValueChanged();
    return true;
}

void ModbusCustomBytes::setValue(const QString &value)
{
    storeValue(value, ModbusBytes::fromHex(value.toLatin1()));
}

bool ModbusCustomBytes::writeValue(const QString &value)
{
    return write(ModbusBytes::fromHex(value.toLatin1()));
}

void ModbusCustomBytes::updateValueFromBytes()
{
    setValue(QString::fromLatin1(bytes().toHex()));
}

QVariant ModbusCustomBytes::getTypedValue(const ModbusBytes &b) const
{
    return QVariant(QString::fromLatin1(b.toHex()));
}

void ModbusCustomBytes::setItemSize(int size)
{
    if (size == requestItemBytesCount() || size < 1)
        return;
    setRequestItemBytesCount(size);
    emit itemSizeChanged(size);
    needValueRead();
}
