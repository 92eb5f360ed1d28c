#include "modbusuint8.h"

#include "typeditem_p.h"

namespace {
// In its register form (alignToWord) the byte is the low half of a register.
struct Codec
{
    using Value = quint8;
    static constexpr auto parse = &QString::toUShort;

    static ModbusBytes encode(const ModbusUInt8 &item, quint8 value)
    {
        return ModbusBytes::fromUInt8(value, item.alignToWord());
    }
    static ModbusBytes encodeForWrite(const ModbusUInt8 &item, quint8 value) { return encode(item, value); }
    static quint8 decode(const ModbusUInt8 &item, const ModbusBytes &bytes)
    {
        return item.alignToWord() ? bytes.alignedToWord(false).toUInt8(0, true) : bytes.toUInt8(0, false);
    }
    static QVariant variant(quint8 value) { return QVariant::fromValue<uchar>(value); }
};
using Number = TypedItem::Number<ModbusUInt8, Codec>;
}

ModbusUInt8::ModbusUInt8(QObject *parent)
    : ModbusItemByteBase(parent)
{
}

ModbusUInt8::ModbusUInt8(quint32 address, QObject *parent)
    : ModbusItemByteBase(address, parent)
{
}

void ModbusUInt8::setValue(int value) { Number::setValue(this, m_value, quint8(value)); }
bool ModbusUInt8::writeValue(int value) { return Number::writeValue(this, quint8(value)); }
void ModbusUInt8::updateValueFromBytes() { Number::updateValueFromBytes(this); }
QString ModbusUInt8::formatValue() const { return Number::formatValue(*this); }
void ModbusUInt8::setFormatValue(const QString &text) { Number::setFormatValue(this, text); }
QVariant ModbusUInt8::getTypedValue(const ModbusBytes &b) const { return Number::typedValue(*this, b); }
