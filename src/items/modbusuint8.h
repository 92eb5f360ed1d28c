#ifndef MODBUSUINT8_H
#define MODBUSUINT8_H

#include "modbusitembytebase.h"

// An unsigned byte.
class TAVREXBUS1_EXPORT ModbusUInt8 : public ModbusItemByteBase
{
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)

public:
    explicit ModbusUInt8(QObject *parent = nullptr);
    ModbusUInt8(quint32 address, QObject *parent = nullptr);

    quint8 value() const { return m_value; }
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
    quint8 m_value = 0;
};

#endif
