#include "modbusfloat.h"

#include "typeditem_p.h"

namespace {
using Codec = TypedItem::NumberCodec<float, &ModbusBytes::fromFloat, &ModbusBytes::toFloat, &QString::toFloat>;
using Number = TypedItem::Number<ModbusFloat, Codec>;
}

ModbusFloat::ModbusFloat(QObject *parent)
    : ModbusItemFloatingBase(4, parent)
{
}

ModbusFloat::ModbusFloat(quint32 address, QObject *parent)
    : ModbusItemFloatingBase(4, address, parent)
{
}

void ModbusFloat::setValue(float value) { Number::setValue(this, m_value, value); }
bool ModbusFloat::writeValue(float value) { return Number::writeValue(this, value); }
void ModbusFloat::updateValueFromBytes() { Number::updateValueFromBytes(this); }
QString ModbusFloat::formatValue() const { return Number::formatValue(*this); }
void ModbusFloat::setFormatValue(const QString &text) { Number::setFormatValue(this, text); }
QVariant ModbusFloat::getTypedValue(const ModbusBytes &b) const { return Number::typedValue(*this, b); }
