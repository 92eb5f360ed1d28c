#include "modbusuint32.h"

#include "typeditem_p.h"

namespace {
using Codec = TypedItem::NumberCodec<quint32, &ModbusBytes::fromUInt32, &ModbusBytes::toUInt32, &QString::toUInt>;
using Number = TypedItem::Number<ModbusUInt32, Codec>;
}

ModbusUInt32::ModbusUInt32(QObject *parent)
    : ModbusItemIntBase(4, parent)
{
}

ModbusUInt32::ModbusUInt32(quint32 address, QObject *parent)
    : ModbusItemIntBase(4, address, parent)
{
}

void ModbusUInt32::setValue(quint32 value) { Number::setValue(this, m_value, value); }
bool ModbusUInt32::writeValue(quint32 value) { return Number::writeValue(this, value); }
void ModbusUInt32::updateValueFromBytes() { Number::updateValueFromBytes(this); }
QString ModbusUInt32::formatValue() const { return Number::formatValue(*this); }
void ModbusUInt32::setFormatValue(const QString &text) { Number::setFormatValue(this, text); }
QVariant ModbusUInt32::getTypedValue(const ModbusBytes &b) const { return Number::typedValue(*this, b); }
