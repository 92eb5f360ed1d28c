#ifndef MODBUSFLOAT_H
#define MODBUSFLOAT_H

#include "modbusitemfloatingbase.h"

/// An IEEE single-precision value over two registers.
///
/// Available in QML as `ModbusFloat` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusFloat : public ModbusItemFloatingBase
{
    Q_OBJECT
    /// The value.
    Q_PROPERTY(float value READ value WRITE setValue NOTIFY valueChanged)

public:
    /// A float at holding register 400001.
    explicit ModbusFloat(QObject *parent = nullptr);
    /// A float at the logical number address.
    ModbusFloat(quint32 address, QObject *parent = nullptr);

    /// Getter of the value property.
    float value() const { return m_value; }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    /// Setter of the value property.
    void setValue(float value);
    /// Writes value; value itself changes after a later read (or at once with readAfterWrite).
    bool writeValue(float value);

Q_SIGNALS:
    /// value changed.
    void valueChanged();

protected:
    void updateValueFromBytes() override;

private:
    float m_value = 0;
};

#endif
