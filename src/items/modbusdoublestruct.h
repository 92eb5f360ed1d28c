#ifndef MODBUSDOUBLESTRUCT_H
#define MODBUSDOUBLESTRUCT_H

#include "modbusdouble.h"

// A double in the device's own 8-byte form: a 32-bit integral part, then a float fractional part.
class TAVREXBUS1_EXPORT ModbusDoubleStruct : public ModbusDouble
{
    Q_OBJECT

public:
    explicit ModbusDoubleStruct(QObject *parent = nullptr);
    ModbusDoubleStruct(quint32 address, QObject *parent = nullptr);

    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    void setValue(const double &value) override;
    bool writeValue(double value) override;

protected:
    void updateValueFromBytes() override;
};

#endif
