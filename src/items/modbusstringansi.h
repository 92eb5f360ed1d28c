#ifndef MODBUSSTRINGANSI_H
#define MODBUSSTRINGANSI_H

#include "modbusitemintbase.h"

// 8-bit text, by default one character in the low byte of each register.
class TAVREXBUS1_EXPORT ModbusStringAnsi : public ModbusItemIntBase
{
    Q_OBJECT
    Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(int length READ length WRITE setLength NOTIFY lengthChanged)
    Q_PROPERTY(bool oneCharPerRegister READ oneCharPerRegister WRITE setOneCharPerRegister
               NOTIFY oneCharPerRegisterChanged)

public:
    explicit ModbusStringAnsi(QObject *parent = nullptr);
    ModbusStringAnsi(quint32 address, QObject *parent = nullptr);

    QString value() const { return m_value; }
    int length() const { return m_length; }
    void setLength(int length);
    bool oneCharPerRegister() const { return m_oneCharPerRegister; }
    void setOneCharPerRegister(bool oneCharPerRegister);

    QString formatValue() const override { return m_value; }
    void setFormatValue(const QString &text) override { setValue(text); }
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    void setValue(const QString &value);
    bool writeValue(const QString &value);

Q_SIGNALS:
    void valueChanged();
    void lengthChanged();
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
