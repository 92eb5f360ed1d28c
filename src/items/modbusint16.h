#ifndef MODBUSINT16_H
#define MODBUSINT16_H

#include "modbusitemintbase.h"

/// A signed 16-bit register.
///
/// Available in QML as `ModbusInt16` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusInt16 : public ModbusItemIntBase
{
    Q_OBJECT
    /// The value, -32768 to 32767.
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)

public:
    /// A signed register at holding register 400001.
    explicit ModbusInt16(QObject *parent = nullptr);
    /// A signed register at the logical number address.
    ModbusInt16(quint32 address, QObject *parent = nullptr);

    /// Getter of the value property.
    qint16 value() const { return m_value; }
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
    qint16 m_value = 0;
};

#endif
