#ifndef MODBUSINT64_H
#define MODBUSINT64_H

#include "modbusitemintbase.h"

/// A signed 64-bit value over four registers. QML numbers are doubles, so QML sees the value as a
/// variant that keeps all 64 bits.
///
/// Available in QML as `ModbusInt64` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusInt64 : public ModbusItemIntBase
{
    Q_OBJECT
    /// The value, as a variant holding a 64-bit integer.
    Q_PROPERTY(QVariant value READ valueQml WRITE setValueQml NOTIFY valueChanged)

public:
    /// A signed 64-bit value at holding register 400001.
    explicit ModbusInt64(QObject *parent = nullptr);
    /// A signed 64-bit value at the logical number address.
    ModbusInt64(quint32 address, QObject *parent = nullptr);

    /// The value.
    qint64 value() const { return m_value; }
    /// Getter of the value property.
    QVariant valueQml() const { return QVariant::fromValue<qlonglong>(m_value); }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    /// Stores value.
    void setValue(qint64 value);
    /// Setter of the value property.
    void setValueQml(const QVariant &value) { setValue(value.toLongLong()); }
    /// Writes value; value itself changes after a later read (or at once with readAfterWrite).
    bool writeValue(qint64 value);

Q_SIGNALS:
    /// value changed.
    void valueChanged();

protected:
    void updateValueFromBytes() override;

private:
    qint64 m_value = 0;
};

#endif
