#include "modbusstringansi.h"

ModbusStringAnsi::ModbusStringAnsi(QObject *parent)
    : ModbusItemIntBase(2, parent)
{
}

ModbusStringAnsi::ModbusStringAnsi(quint32 address, QObject *parent)
    : ModbusItemIntBase(2, address, parent)
{
}

void ModbusStringAnsi::setValue(const QString &value)
{
    if (value == m_value)
        return;
    m_value = value;
    setBytes(ModbusBytes::fromStringAnsi(value, m_oneCharPerRegister), ValueChange);
    emit valueChanged();
    emit formatValueChanged();
}

bool ModbusStringAnsi::writeValue(const QString &value)
{
    return write(ModbusBytes::fromStringAnsi(value, m_oneCharPerRegister));
}

void ModbusStringAnsi::updateValueFromBytes()
{
    setValue(bytes().toStringAnsi(0, -1, m_oneCharPerRegister));
}

QVariant ModbusStringAnsi::getTypedValue(const ModbusBytes &b) const
{
    return QVariant(b.toStringAnsi(0, -1, m_oneCharPerRegister));
}

void ModbusStringAnsi::setOneCharPerRegister(bool oneCharPerRegister)
{
    if (oneCharPerRegister == m_oneCharPerRegister)
        return;
    m_oneCharPerRegister = oneCharPerRegister;
    emit oneCharPerRegisterChanged();
    setBytes(ModbusBytes::fromStringAnsi(m_value, oneCharPerRegister), ValueChange);
    updateItemSize();
}

void ModbusStringAnsi::setLength(int length)
{
    if (length == m_length || length < 1)
        return;
    m_length = length;
    updateItemSize();
    emit lengthChanged();
    needValueRead();
}

void ModbusStringAnsi::updateItemSize()
{
    setRequestItemBytesCount(m_oneCharPerRegister ? m_length * 2 : m_length);
}
