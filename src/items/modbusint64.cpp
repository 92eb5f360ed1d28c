#include "modbusint64.h"

#include "typeditem_p.h"

namespace {
using Codec = TypedItem::NumberCodec<qint64, &ModbusBytes::fromInt64, &ModbusBytes::toInt64, &QString::toLongLong>;
using Number = TypedItem::Number<ModbusInt64, Codec>;
}

ModbusInt64::ModbusInt64(QObject *parent)
    : ModbusItemIntBase(8, parent)
{
}

ModbusInt64::ModbusInt64(quint32 address, QObject *parent)
    : ModbusItemIntBase(8, address, parent)
{
}

void ModbusInt64::setValue(qint64 value) { Number::setValue(this, m_value, value); }
bool ModbusInt64::writeValue(qint64 value) { return Number::writeValue(this, value); }
void ModbusInt64::updateValueFromBytes() { Number::updateValueFromBytes(this); }
QString ModbusInt64::formatValue() const { return Number::formatValue(*this); }
void ModbusInt64::setFormatValue(const QString &text) { Number::setFormatValue(this, text); }
QVariant ModbusInt64::getTypedValue(const ModbusBytes &b) const { return Number::typedValue(*this, b); }
