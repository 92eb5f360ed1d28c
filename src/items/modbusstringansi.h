#ifndef MODBUSSTRINGANSI_H
#define MODBUSSTRINGANSI_H

#include "modbusitemintbase.h"

/// 8-bit text, by default one character in the low byte of each register.
///
/// Available in QML as `ModbusStringAnsi` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusStringAnsi : public ModbusItemIntBase
{
    Q_OBJECT
    /// The text.
    Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged)
    /// Characters in the field; 1 by default.
    Q_PROPERTY(int length READ length WRITE setLength NOTIFY lengthChanged)
    /// One character in the low byte of each register (default), else two characters a register.
    Q_PROPERTY(bool oneCharPerRegister READ oneCharPerRegister WRITE setOneCharPerRegister
               NOTIFY oneCharPerRegisterChanged)

public:
    /// A text at holding register 400001.
    explicit ModbusStringAnsi(QObject *parent = nullptr);
    /// A text at the logical number address.
    ModbusStringAnsi(quint32 address, QObject *parent = nullptr);

    /// Getter of the value property.
    QString value() const { return m_value; }
    /// Getter of the length property.
    int length() const { return m_length; }
    /// Setter of the length property.
    void setLength(int length);
    /// Getter of the oneCharPerRegister property.
    bool oneCharPerRegister() const { return m_oneCharPerRegister; }
    /// Setter of the oneCharPerRegister property.
    void setOneCharPerRegister(bool oneCharPerRegister);

    QString formatValue() const override { return m_value; }
    void setFormatValue(const QString &text) override { setValue(text); }
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    /// Setter of the value property.
    void setValue(const QString &value);
    /// Writes value as Latin-1 text.
    bool writeValue(const QString &value);

Q_SIGNALS:
    /// value changed.
    void valueChanged();
    /// length changed.
    void lengthChanged();
    /// oneCharPerRegister changed.
    void oneCharPerRegisterChanged();

protected:
    void updateValueFromBytes() override;

private:
    void updateItemSize();
    int fieldSize() const;
    ModbusBytes encode(const QString &value) const;
    QString decode(const ModbusBytes &bytes) const;

    QString m_value;
    int m_length = 1;
    bool m_oneCharPerRegister = true;
};

#endif
