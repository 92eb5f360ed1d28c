#include "modbusuint16.h"

#include "typeditem_p.h"

namespace {
using Codec = TypedItem::NumberCodec<quint16, &ModbusBytes::fromUInt16, &ModbusBytes::toUInt16, &QString::toUShort>;
using Number = TypedItem::Number<ModbusUInt16, Codec>;
}

ModbusUInt16::ModbusUInt16(QObject *parent)
    : ModbusItemIntBase(2, parent)
{
}

ModbusUInt16::ModbusUInt16(quint32 address, QObject *parent)
    : ModbusItemIntBase(2, address, parent)
{
}

void ModbusUInt16::setValue(int value) { Number::setValue(this, m_value, quint16(value)); }
bool ModbusUInt16::writeValue(int value) { return Number::writeValue(this, quint16(value)); }
void ModbusUInt16::updateValueFromBytes() { Number::updateValueFromBytes(this); }
QString ModbusUInt16::formatValue() const { return Number::formatValue(*this); }
void ModbusUInt16::setFormatValue(const QString &text) { Number::setFormatValue(this, text); }
QVariant ModbusUInt16::getTypedValue(const ModbusBytes &b) const { return Number::typedValue(*this, b); }
