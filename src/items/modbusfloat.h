#ifndef MODBUSFLOAT_H
#define MODBUSFLOAT_H

#include "modbusitemfloatingbase.h"

// An IEEE single-precision value over two registers.
class TAVREXBUS1_EXPORT ModbusFloat : public ModbusItemFloatingBase
{
    Q_OBJECT
    Q_PROPERTY(float value READ value WRITE setValue NOTIFY valueChanged)

public:
    explicit ModbusFloat(QObject *parent = nullptr);
    ModbusFloat(quint32 address, QObject *parent = nullptr);

    float value() const { return m_value; }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    void setValue(float value);
    bool writeValue(float value);

Q_SIGNALS:
    void valueChanged();

protected:
    void updateValueFromBytes() override;

private:
    float m_value = 0;
};

#endif
