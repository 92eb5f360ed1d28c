#include "modbusuint8.h"

ModbusUInt8::ModbusUInt8(QObject *parent)
    : ModbusItemByteBase(parent)
{
}

ModbusUInt8::ModbusUInt8(quint32 address, QObject *parent)
    : ModbusItemByteBase(address, parent)
{
}

void ModbusUInt8::setValue(int value)
{
    const quint8 v = quint8(value);
    if (v == m_value)
        return;
    m_value = v;
    setBytes(ModbusBytes::fromUInt8(v, alignToWord()), ValueChange);
    emit valueChanged();
    emit formatValueChanged();
}

bool ModbusUInt8::writeValue(int value)
{
    const quint8 v = quint8(value);
    return write(ModbusBytes::fromUInt8(v, alignToWord()));
}

void ModbusUInt8::updateValueFromBytes()
{
    setValue(decode(bytes()));
}

QString ModbusUInt8::formatValue() const
{
    return QString::number(m_value, base());
}

void ModbusUInt8::setFormatValue(const QString &text)
{
    bool ok = false;
    const ushort parsed = text.toUShort(&ok, base());
    if (ok)
        setValue(quint8(parsed));
}

QVariant ModbusUInt8::getTypedValue(const ModbusBytes &b) const
{
    return QVariant::fromValue<uchar>(decode(b));
}

quint8 ModbusUInt8::decode(const ModbusBytes &bytes) const
{
    return alignToWord() ? bytes.alignedToWord(false).toUInt8(0, true) : bytes.toUInt8(0, false);
}
