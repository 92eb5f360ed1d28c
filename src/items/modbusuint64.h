#ifndef MODBUSUINT64_H
#define MODBUSUINT64_H

#include "modbusitemintbase.h"

// An unsigned 64-bit value over four registers, high word first.
class TAVREXBUS1_EXPORT ModbusUInt64 : public ModbusItemIntBase
{
    Q_OBJECT
    Q_PROPERTY(quint64 value READ value WRITE setValue NOTIFY valueChanged)

public:
    explicit ModbusUInt64(QObject *parent = nullptr);
    ModbusUInt64(quint32 address, QObject *parent = nullptr);

    quint64 value() const { return m_value; }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    void setValue(quint64 value);
    bool writeValue(quint64 value);

Q_SIGNALS:
    void valueChanged();

protected:
    void updateValueFromBytes() override;

private:
    quint64 m_value = 0;
};

#endif
