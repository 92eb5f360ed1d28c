#ifndef MODBUSUINT16_H
#define MODBUSUINT16_H

#include "modbusitemintbase.h"

/// An unsigned 16-bit register.
///
/// Available in QML as `ModbusUInt16` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusUInt16 : public ModbusItemIntBase
{
    Q_OBJECT
    /// The value, 0 to 65535.
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)

public:
    /// A register at holding register 400001.
    explicit ModbusUInt16(QObject *parent = nullptr);
    /// A register at the logical number address.
    ModbusUInt16(quint32 address, QObject *parent = nullptr);

    /// Getter of the value property.
    quint16 value() const { return m_value; }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    /// Setter of the value property.
    void setValue(int value);
    /// Writes value; value itself changes after a later read (or at once with readAfterWrite).
    bool writeValue(int value);

Q_SIGNALS:
    /// value changed.
    void valueChanged();

protected:
    void updateValueFromBytes() override;

private:
    quint16 m_value = 0;
};

#endif
