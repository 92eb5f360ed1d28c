#ifndef MODBUSDOUBLE_H
#define MODBUSDOUBLE_H

#include "modbusitemfloatingbase.h"

// An IEEE double-precision value over four registers.
class TAVREXBUS1_EXPORT ModbusDouble : public ModbusItemFloatingBase
{
    Q_OBJECT
    Q_PROPERTY(double value READ value WRITE setValue NOTIFY valueChanged)

public:
    explicit ModbusDouble(QObject *parent = nullptr);
    ModbusDouble(quint32 address, QObject *parent = nullptr);

    double value() const { return m_value; }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    virtual void setValue(const double &value);
    virtual bool writeValue(double value);

Q_SIGNALS:
    void valueChanged();

protected:
    void updateValueFromBytes() override;
    // Stores a new value, which `encode` puts on the wire.
    void storeValue(double value, ModbusBytes (*encode)(const double &));

private:
    double m_value = 0;
};

#endif
