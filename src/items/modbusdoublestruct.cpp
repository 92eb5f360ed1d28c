#include "modbusdoublestruct.h"

ModbusDoubleStruct::ModbusDoubleStruct(QObject *parent)
    : ModbusDouble(parent)
{
}

ModbusDoubleStruct::ModbusDoubleStruct(quint32 address, QObject *parent)
    : ModbusDouble(address, parent)
{
}

void ModbusDoubleStruct::setValue(const double &value)
{
    storeValue(value, ModbusBytes::fromDoubleStruct(value));
}

bool ModbusDoubleStruct::writeValue(double value)
{
    return write(ModbusBytes::fromDoubleStruct(value));
}

void ModbusDoubleStruct::updateValueFromBytes()
{
    setValue(bytes().toDoubleStruct(0));
}

QVariant ModbusDoubleStruct::getTypedValue(const ModbusBytes &b) const
{
    return QVariant(b.toDoubleStruct(0));
}
