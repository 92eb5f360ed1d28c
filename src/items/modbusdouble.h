#ifndef MODBUSDOUBLE_H
#define MODBUSDOUBLE_H

#include "modbusitemfloatingbase.h"

/// An IEEE double-precision value over four registers.
///
/// Available in QML as `ModbusDouble` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusDouble : public ModbusItemFloatingBase
{
    Q_OBJECT
    /// The value.
    Q_PROPERTY(double value READ value WRITE setValue NOTIFY valueChanged)

public:
    /// A double at holding register 400001.
    explicit ModbusDouble(QObject *parent = nullptr);
    /// A double at the logical number address.
    ModbusDouble(quint32 address, QObject *parent = nullptr);

    /// Getter of the value property.
    double value() const { return m_value; }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    /// Setter of the value property.
    virtual void setValue(const double &value);
    /// Writes value; value itself changes after a later read (or at once with readAfterWrite).
    virtual bool writeValue(double value);

Q_SIGNALS:
    /// value changed.
    void valueChanged();

protected:
    void updateValueFromBytes() override;
    /// Stores a new value, which `encode` puts on the wire.
    void storeValue(double value, ModbusBytes (*encode)(const double &));

private:
    double m_value = 0;
};

#endif
