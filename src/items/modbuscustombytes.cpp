#include "modbuscustombytes.h"

#include "typeditem_p.h"

ModbusCustomBytes::ModbusCustomBytes(QObject *parent)
    : ModbusItemAddressedBase(1, parent)
{
}

ModbusCustomBytes::ModbusCustomBytes(quint32 address, QObject *parent)
    : ModbusItemAddressedBase(1, address, parent)
{
}

void ModbusCustomBytes::storeValue(const QString &value, const ModbusBytes &encoded)
{
    TypedItem::store(this, m_value, value, [&encoded] { return encoded; });
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
