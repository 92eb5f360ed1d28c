#include "modbusint32.h"

#include "typeditem_p.h"

namespace {
using Codec = TypedItem::NumberCodec<qint32, &ModbusBytes::fromInt32, &ModbusBytes::toInt32, &QString::toInt>;
using Number = TypedItem::Number<ModbusInt32, Codec>;
}

ModbusInt32::ModbusInt32(QObject *parent)
    : ModbusItemIntBase(4, parent)
{
}

ModbusInt32::ModbusInt32(quint32 address, QObject *parent)
    : ModbusItemIntBase(4, address, parent)
{
}

void ModbusInt32::setValue(qint32 value) { Number::setValue(this, m_value, value); }
bool ModbusInt32::writeValue(qint32 value) { return Number::writeValue(this, value); }
void ModbusInt32::updateValueFromBytes() { Number::updateValueFromBytes(this); }
QString ModbusInt32::formatValue() const { return Number::formatValue(*this); }
void ModbusInt32::setFormatValue(const QString &text) { Number::setFormatValue(this, text); }
QVariant ModbusInt32::getTypedValue(const ModbusBytes &b) const { return Number::typedValue(*this, b); }
