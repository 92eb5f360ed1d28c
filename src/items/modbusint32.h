#ifndef MODBUSINT32_H
#define MODBUSINT32_H

#include "modbusitemintbase.h"

// A signed 32-bit value over two registers, high word first.
class TAVREXBUS1_EXPORT ModbusInt32 : public ModbusItemIntBase
{
    Q_OBJECT
    Q_PROPERTY(qint32 value READ value WRITE setValue NOTIFY valueChanged)

public:
    explicit ModbusInt32(QObject *parent = nullptr);
    ModbusInt32(quint32 address, QObject *parent = nullptr);

    qint32 value() const { return m_value; }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    void setValue(qint32 value);
    bool writeValue(qint32 value);

Q_SIGNALS:
    void valueChanged();

protected:
    void updateValueFromBytes() override;

private:
    qint32 m_value = 0;
};

#endif
