#ifndef MODBUSINT8_H
#define MODBUSINT8_H

#include "modbusitembytebase.h"

// A signed byte.
class TAVREXBUS1_EXPORT ModbusInt8 : public ModbusItemByteBase
{
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)

public:
    explicit ModbusInt8(QObject *parent = nullptr);
    ModbusInt8(quint32 address, QObject *parent = nullptr);

    qint8 value() const { return m_value; }
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
    qint8 m_value = 0;
};

#endif
