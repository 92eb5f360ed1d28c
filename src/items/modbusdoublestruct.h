#ifndef MODBUSDOUBLESTRUCT_H
#define MODBUSDOUBLESTRUCT_H

#include "modbusdouble.h"

/// A double in the device's own 8-byte form: a 32-bit integral part, then a float fractional part.
///
/// Available in QML as `ModbusDoubleStruct` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusDoubleStruct : public ModbusDouble
{
    Q_OBJECT

public:
    /// A double in the device's form at holding register 400001.
    explicit ModbusDoubleStruct(QObject *parent = nullptr);
    /// A double in the device's form at the logical number address.
    ModbusDoubleStruct(quint32 address, QObject *parent = nullptr);

    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    /// Stores value in the device's 8-byte form.
    void setValue(const double &value) override;
    /// Writes value in the device's 8-byte form.
    bool writeValue(double value) override;

protected:
    void updateValueFromBytes() override;
};

#endif
