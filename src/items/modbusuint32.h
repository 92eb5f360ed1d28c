#ifndef MODBUSUINT32_H
#define MODBUSUINT32_H

#include "modbusitemintbase.h"

/// An unsigned 32-bit value over two registers, high word first.
///
/// Available in QML as `ModbusUInt32` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusUInt32 : public ModbusItemIntBase
{
    Q_OBJECT
    /// The value.
    Q_PROPERTY(quint32 value READ value WRITE setValue NOTIFY valueChanged)

public:
    /// An unsigned 32-bit value at holding register 400001.
    explicit ModbusUInt32(QObject *parent = nullptr);
    /// An unsigned 32-bit value at the logical number address.
    ModbusUInt32(quint32 address, QObject *parent = nullptr);

    /// Getter of the value property.
    quint32 value() const { return m_value; }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    /// Setter of the value property.
    void setValue(quint32 value);
    /// Writes value; value itself changes after a later read (or at once with readAfterWrite).
    bool writeValue(quint32 value);

Q_SIGNALS:
    /// value changed.
    void valueChanged();

protected:
    void updateValueFromBytes() override;

private:
    quint32 m_value = 0;
};

#endif
