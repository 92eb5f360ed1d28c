#include "modbusdoublestruct.h"

#include "typeditem_p.h"

namespace {
using Codec = TypedItem::NumberCodec<double, &ModbusBytes::fromDoubleStruct, &ModbusBytes::toDoubleStruct,
                                     &QString::toDouble>;
using Number = TypedItem::Number<ModbusDoubleStruct, Codec>;
}

ModbusDoubleStruct::ModbusDoubleStruct(QObject *parent)
    : ModbusDouble(parent)
{
}

ModbusDoubleStruct::ModbusDoubleStruct(quint32 address, QObject *parent)
    : ModbusDouble(address, parent)
{
}

void ModbusDoubleStruct::setValue(const double &value) { storeValue(value, &ModbusBytes::fromDoubleStruct); }
bool ModbusDoubleStruct::writeValue(double value) { return Number::writeValue(this, value); }
void ModbusDoubleStruct::updateValueFromBytes() { Number::updateValueFromBytes(this); }
QVariant ModbusDoubleStruct::getTypedValue(const ModbusBytes &b) const { return Number::typedValue(*this, b); }
