#include "modbusbit.h"

#include "typeditem_p.h"

ModbusBit::ModbusBit(QObject *parent)
    : ModbusItemByteBase(parent), m_trueString(tr("true")), m_falseString(tr("false"))
{
}

ModbusBit::ModbusBit(quint32 address, QObject *parent)
    : ModbusItemByteBase(address, parent), m_trueString(tr("true")), m_falseString(tr("false"))
{
}

void ModbusBit::setValue(bool value)
{
    TypedItem::store(this, m_value, value, [value] { return ModbusBytes::fromBit(value, false); });
}

bool ModbusBit::writeValue(bool value)
{
    return write(ModbusBytes::fromBit(value, false));
}

void ModbusBit::updateValueFromBytes()
{
    setValue(bytes().toBit(0, 0, false));
}

QString ModbusBit::formatValue() const
{
    return m_value ? m_trueString : m_falseString;
}

void ModbusBit::setFormatValue(const QString &text)
{
    if (text == m_falseString)
        setValue(false);
    else if (text == m_trueString)
        setValue(true);
}

QVariant ModbusBit::getTypedValue(const ModbusBytes &b) const
{
    return QVariant(bool(b.toBit(0, 0, false)));
}

void ModbusBit::setTrueString(const QString &text)
{
    if (text == m_trueString)
        return;
    m_trueString = text;
    emit trueStringChanged();
}

void ModbusBit::setFalseString(const QString &text)
{
    if (text == m_falseString)
        return;
    m_falseString = text;
    emit falseStringChanged();
}

void ModbusBit::setSourceBitIndex(int index)
{
    if (index == m_sourceBitIndex)
        return;
    m_sourceBitIndex = index;
    receiveBytesFromSource();
    emit sourceBitIndexChanged();
}

void ModbusBit::setReverseSourceWords(bool reverse)
{
    if (reverse == m_reverseSourceWords)
        return;
    m_reverseSourceWords = reverse;
    receiveBytesFromSource();
    emit reverseSourceWordsChanged(reverse);
}

// Bit position inside the source element; with reversed words the byte is taken from the other
// half of its register.
int ModbusBit::sourceBit() const
{
    int byteIndex = sourceByteIndex();
    if (m_reverseSourceWords)
        byteIndex += byteIndex % 2 ? -1 : 1;
    return m_sourceBitIndex + byteIndex * 8;
}

ModbusBytes ModbusBit::getBytesFromSourceBytes(const ModbusBytes &bytes) const
{
    return ModbusBytes::fromBit(bytes.getBit(sourceBit(), false), false);
}

void ModbusBit::modifySourceBytes()
{
    if (!source())
        return;
    ModbusBytes copy = source()->bytes();
    copy.setBit(sourceBit(), m_value);
    source()->setBytes(copy, ViewChange);
}
