#ifndef MODBUSUINT64_H
#define MODBUSUINT64_H

#include "modbusitemintbase.h"

/// An unsigned 64-bit value over four registers, high word first.
///
/// Available in QML as `ModbusUInt64` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusUInt64 : public ModbusItemIntBase
{
    Q_OBJECT
    /// The value, as a variant holding an unsigned 64-bit integer.
    Q_PROPERTY(quint64 value READ value WRITE setValue NOTIFY valueChanged)

public:
    /// An unsigned 64-bit value at holding register 400001.
    explicit ModbusUInt64(QObject *parent = nullptr);
    /// An unsigned 64-bit value at the logical number address.
    ModbusUInt64(quint32 address, QObject *parent = nullptr);

    /// Getter of the value property.
    quint64 value() const { return m_value; }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    /// Setter of the value property.
    void setValue(quint64 value);
    /// Writes value; value itself changes after a later read (or at once with readAfterWrite).
    bool writeValue(quint64 value);

Q_SIGNALS:
    /// value changed.
    void valueChanged();

protected:
    void updateValueFromBytes() override;

private:
    quint64 m_value = 0;
};

#endif
