#include "modbusint8.h"

#include "typeditem_p.h"

namespace {
// The byte keeps its register form (alignToWord) only on its way to the device.
struct Codec
{
    using Value = qint8;
    static constexpr auto parse = &QString::toShort;

    static ModbusBytes encode(const ModbusInt8 &, qint8 value) { return ModbusBytes::fromInt8(value, false); }
    static ModbusBytes encodeForWrite(const ModbusInt8 &item, qint8 value)
    {
        return ModbusBytes::fromInt8(value, item.alignToWord());
    }
    static qint8 decode(const ModbusInt8 &, const ModbusBytes &bytes) { return bytes.toInt8(0, false); }
    static QVariant variant(qint8 value) { return QVariant(int(value)); }
};
using Number = TypedItem::Number<ModbusInt8, Codec>;
}

ModbusInt8::ModbusInt8(QObject *parent)
    : ModbusItemByteBase(parent)
{
}

ModbusInt8::ModbusInt8(quint32 address, QObject *parent)
    : ModbusItemByteBase(address, parent)
{
}

void ModbusInt8::setValue(int value) { Number::setValue(this, m_value, qint8(value)); }
bool ModbusInt8::writeValue(int value) { return Number::writeValue(this, qint8(value)); }
void ModbusInt8::updateValueFromBytes() { Number::updateValueFromBytes(this); }
QString ModbusInt8::formatValue() const { return Number::formatValue(*this); }
void ModbusInt8::setFormatValue(const QString &text) { Number::setFormatValue(this, text); }
QVariant ModbusInt8::getTypedValue(const ModbusBytes &b) const { return Number::typedValue(*this, b); }
