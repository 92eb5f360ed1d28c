#ifndef MODBUSINT16_H
#define MODBUSINT16_H

#include "modbusitemintbase.h"

// A signed 16-bit register.
class TAVREXBUS1_EXPORT ModbusInt16 : public ModbusItemIntBase
{
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)

public:
    explicit ModbusInt16(QObject *parent = nullptr);
    ModbusInt16(quint32 address, QObject *parent = nullptr);

    qint16 value() const { return m_value; }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    void setValue(int value);
    bool writeValue(int value);

Q_SIGNALS:
    void valueChanged();

protected:
    void updateValueFromBytes() override;

private:
    qint16 m_value = 0;
};

#endif
