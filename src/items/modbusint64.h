#ifndef MODBUSINT64_H
#define MODBUSINT64_H

#include "modbusitemintbase.h"

// A signed 64-bit value over four registers. QML numbers are doubles, so QML sees the value as a
// variant that keeps all 64 bits.
class TAVREXBUS1_EXPORT ModbusInt64 : public ModbusItemIntBase
{
    Q_OBJECT
    Q_PROPERTY(QVariant value READ valueQml WRITE setValueQml NOTIFY valueChanged)

public:
    explicit ModbusInt64(QObject *parent = nullptr);
    ModbusInt64(quint32 address, QObject *parent = nullptr);

    qint64 value() const { return m_value; }
    QVariant valueQml() const { return QVariant::fromValue<qlonglong>(m_value); }
    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    void setValue(qint64 value);
    void setValueQml(const QVariant &value) { setValue(value.toLongLong()); }
    bool writeValue(qint64 value);

Q_SIGNALS:
    void valueChanged();

protected:
    void updateValueFromBytes() override;

private:
    qint64 m_value = 0;
};

#endif
