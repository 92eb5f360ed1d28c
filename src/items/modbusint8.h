#ifndef MODBUSINT8_H
#define MODBUSINT8_H

#include "modbusitembytebase.h"

/// A signed byte.
///
/// Available in QML as `ModbusInt8` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusInt8 : public ModbusItemByteBase
{
    Q_OBJECT
    /// The value, -128 to 127.
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)

public:
    /// A signed byte at holding register 400001.
    explicit ModbusInt8(QObject *parent = nullptr);
    /// A signed byte at the logical number address.
    ModbusInt8(quint32 address, QObject *parent = nullptr);

    /// Getter of the value property.
    qint8 value() const { return m_value; }
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
    qint8 m_value = 0;
};

#endif
