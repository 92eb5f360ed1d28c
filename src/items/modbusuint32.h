#ifndef MODBUSUINT32_H
#define MODBUSUINT32_H

#include "modbusitemintbase.h"

// An unsigned 32-bit value over two registers, high word first.
class TAVREXBUS1_EXPORT ModbusUInt32 : public ModbusItemIntBase
{
    Q_OBJECT
    Q_PROPERTY(quint32 value READ value WRITE setValue NOTIFY valueChanged)

public:
    explicit ModbusUInt32(QObject *parent = nullptr);
    ModbusUInt32(quint32 address, QObject *parent = nullptr);

    quint32 value() const { return m_value; }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    void setValue(quint32 value);
    bool writeValue(quint32 value);

Q_SIGNALS:
    void valueChanged();

protected:
    void updateValueFromBytes() override;

private:
    quint32 m_value = 0;
};

#endif
