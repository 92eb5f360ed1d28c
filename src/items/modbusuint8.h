#ifndef MODBUSUINT8_H
#define MODBUSUINT8_H

#include "modbusitembytebase.h"

/// An unsigned byte.
///
/// Available in QML as `ModbusUInt8` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusUInt8 : public ModbusItemByteBase
{
    Q_OBJECT
    /// The value, 0 to 255.
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)

public:
    /// A byte at holding register 400001.
    explicit ModbusUInt8(QObject *parent = nullptr);
    /// A byte at the logical number address.
    ModbusUInt8(quint32 address, QObject *parent = nullptr);

    /// Getter of the value property.
    quint8 value() const { return m_value; }
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
    quint8 m_value = 0;
};

#endif
