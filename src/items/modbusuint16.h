#ifndef MODBUSUINT16_H
#define MODBUSUINT16_H

#include "modbusitemintbase.h"

// An unsigned 16-bit register.
class TAVREXBUS1_EXPORT ModbusUInt16 : public ModbusItemIntBase
{
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)

public:
    explicit ModbusUInt16(QObject *parent = nullptr);
    ModbusUInt16(quint32 address, QObject *parent = nullptr);

    quint16 value() const { return m_value; }
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
    quint16 m_value = 0;
};

#endif
