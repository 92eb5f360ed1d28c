#include "modbusstringutf8.h"

ModbusStringUtf8::ModbusStringUtf8(QObject *parent)
    : ModbusCustomBytes(parent)
{
    connect(this, &ModbusCustomBytes::itemSizeChanged, this, &ModbusStringUtf8::lengthChanged);
    setHoldsText(true);
}

ModbusStringUtf8::ModbusStringUtf8(quint32 address, QObject *parent)
    : ModbusCustomBytes(address, parent)
{
    connect(this, &ModbusCustomBytes::itemSizeChanged, this, &ModbusStringUtf8::lengthChanged);
    setHoldsText(true);
}

ModbusBytes ModbusStringUtf8::encode(const QString &value) const
{
    if (m_adjustLength < 0)
        return ModbusBytes::fromStringUtf8(value, itemSize()).resized(itemSize(), true);
    return ModbusBytes(ModbusBytes::fromStringUtf8(value, m_adjustLength)
                               .leftJustified(m_adjustLength, char(m_adjustByte), true));
}

void ModbusStringUtf8::setValue(const QString &value)
{
    storeValue(value, encode(value));
}

bool ModbusStringUtf8::writeValue(const QString &value)
{
    return write(encode(value));
}

void ModbusStringUtf8::updateValueFromBytes()
{
    // The bytes already are the value's: only the text follows them.
    storeValue(bytes().toStringUtf8(0, -1), bytes());
}

QVariant ModbusStringUtf8::getTypedValue(const ModbusBytes &b) const
{
    return QVariant(b.toStringUtf8(0, -1));
}

void ModbusStringUtf8::setAdjustLength(int length)
{
    if (length == m_adjustLength)
        return;
    m_adjustLength = length;
    emit adjustLengthChanged(length);
}

void ModbusStringUtf8::setAdjustByte(quint8 byte)
{
    if (byte == m_adjustByte)
        return;
    m_adjustByte = byte;
    emit adjustByteChanged(byte);
}
