#include "modbusuint64.h"

#include "typeditem_p.h"

namespace {
using Codec = TypedItem::NumberCodec<quint64, &ModbusBytes::fromUInt64, &ModbusBytes::toUInt64, &QString::toULongLong>;
using Number = TypedItem::Number<ModbusUInt64, Codec>;
}

ModbusUInt64::ModbusUInt64(QObject *parent)
    : ModbusItemIntBase(8, parent)
{
}

ModbusUInt64::ModbusUInt64(quint32 address, QObject *parent)
    : ModbusItemIntBase(8, address, parent)
{
}

void ModbusUInt64::setValue(quint64 value) { Number::setValue(this, m_value, value); }
bool ModbusUInt64::writeValue(quint64 value) { return Number::writeValue(this, value); }
void ModbusUInt64::updateValueFromBytes() { Number::updateValueFromBytes(this); }
QString ModbusUInt64::formatValue() const { return Number::formatValue(*this); }
void ModbusUInt64::setFormatValue(const QString &text) { Number::setFormatValue(this, text); }
QVariant ModbusUInt64::getTypedValue(const ModbusBytes &b) const { return Number::typedValue(*this, b); }
