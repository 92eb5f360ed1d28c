#include "modbusint16.h"

#include "typeditem_p.h"

namespace {
using Codec = TypedItem::NumberCodec<qint16, &ModbusBytes::fromInt16, &ModbusBytes::toInt16, &QString::toShort>;
using Number = TypedItem::Number<ModbusInt16, Codec>;
}

ModbusInt16::ModbusInt16(QObject *parent)
    : ModbusItemIntBase(2, parent)
{
}

ModbusInt16::ModbusInt16(quint32 address, QObject *parent)
    : ModbusItemIntBase(2, address, parent)
{
}

void ModbusInt16::setValue(int value) { Number::setValue(this, m_value, qint16(value)); }
bool ModbusInt16::writeValue(int value) { return Number::writeValue(this, qint16(value)); }
void ModbusInt16::updateValueFromBytes() { Number::updateValueFromBytes(this); }
QString ModbusInt16::formatValue() const { return Number::formatValue(*this); }
void ModbusInt16::setFormatValue(const QString &text) { Number::setFormatValue(this, text); }
QVariant ModbusInt16::getTypedValue(const ModbusBytes &b) const { return Number::typedValue(*this, b); }
