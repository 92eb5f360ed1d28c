#include "modbusstringansi.h"

#include "typeditem_p.h"

ModbusStringAnsi::ModbusStringAnsi(QObject *parent)
    : ModbusItemIntBase(2, parent)
{
    setHoldsText(true);
}

ModbusStringAnsi::ModbusStringAnsi(quint32 address, QObject *parent)
    : ModbusItemIntBase(2, address, parent)
{
    setHoldsText(true);
}

void ModbusStringAnsi::setValue(const QString &value)
{
    TypedItem::store(this, m_value, value, [&] { return encode(value); });
}

bool ModbusStringAnsi::writeValue(const QString &value)
{
    return write(encode(value));
}

void ModbusStringAnsi::updateValueFromBytes()
{
    // The bytes already are the value's: only the text follows them.
    TypedItem::store(this, m_value, decode(bytes()), [this] { return bytes(); });
}

QVariant ModbusStringAnsi::getTypedValue(const ModbusBytes &b) const
{
    return QVariant(decode(b));
}

void ModbusStringAnsi::setOneCharPerRegister(bool oneCharPerRegister)
{
    if (oneCharPerRegister == m_oneCharPerRegister)
        return;
    m_oneCharPerRegister = oneCharPerRegister;
    emit oneCharPerRegisterChanged();
    setBytes(encode(m_value), ValueChange);
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
    setRequestItemBytesCount(fieldSize());
}

int ModbusStringAnsi::fieldSize() const
{
    return m_oneCharPerRegister ? m_length * 2 : m_length;
}

ModbusBytes ModbusStringAnsi::encode(const QString &value) const
{
    return ModbusBytes::fromStringAnsi(value, m_oneCharPerRegister).resized(fieldSize(), true);
}

QString ModbusStringAnsi::decode(const ModbusBytes &bytes) const
{
    QString text = bytes.toStringAnsi(0, -1, m_oneCharPerRegister);
    // The zeros that pad a short text to its field are no part of it.
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isNull())
        --end;
    text.truncate(end);
    return text;
}
