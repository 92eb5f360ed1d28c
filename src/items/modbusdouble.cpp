#include "modbusdouble.h"

#include "typeditem_p.h"

namespace {
using Codec = TypedItem::NumberCodec<double, &ModbusBytes::fromDouble, &ModbusBytes::toDouble, &QString::toDouble>;
using Number = TypedItem::Number<ModbusDouble, Codec>;
}

ModbusDouble::ModbusDouble(QObject *parent)
    : ModbusItemFloatingBase(8, parent)
{
}

ModbusDouble::ModbusDouble(quint32 address, QObject *parent)
    : ModbusItemFloatingBase(8, address, parent)
{
}

void ModbusDouble::storeValue(double value, ModbusBytes (*encode)(const double &))
{
    TypedItem::store(this, m_value, value, [&] { return encode(value); });
}

void ModbusDouble::setValue(const double &value) { storeValue(value, &ModbusBytes::fromDouble); }
bool ModbusDouble::writeValue(double value) { return Number::writeValue(this, value); }
void ModbusDouble::updateValueFromBytes() { Number::updateValueFromBytes(this); }
QString ModbusDouble::formatValue() const { return Number::formatValue(*this); }
void ModbusDouble::setFormatValue(const QString &text) { Number::setFormatValue(this, text); }
QVariant ModbusDouble::getTypedValue(const ModbusBytes &b) const { return Number::typedValue(*this, b); }
