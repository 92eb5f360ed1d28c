#ifndef MODBUSINT32_H
#define MODBUSINT32_H

#include "modbusitemintbase.h"

/// A signed 32-bit value over two registers, high word first.
///
/// Available in QML as `ModbusInt32` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusInt32 : public ModbusItemIntBase
{
    Q_OBJECT
    /// The value.
    Q_PROPERTY(qint32 value READ value WRITE setValue NOTIFY valueChanged)

public:
    /// A signed 32-bit value at holding register 400001.
    explicit ModbusInt32(QObject *parent = nullptr);
    /// A signed 32-bit value at the logical number address.
    ModbusInt32(quint32 address, QObject *parent = nullptr);

    /// Getter of the value property.
    qint32 value() const { return m_value; }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    /// Setter of the value property.
    void setValue(qint32 value);
    /// Writes value; value itself changes after a later read (or at once with readAfterWrite).
    bool writeValue(qint32 value);

Q_SIGNALS:
    /// value changed.
    void valueChanged();

protected:
    void updateValueFromBytes() override;

private:
    qint32 m_value = 0;
};

#endif
