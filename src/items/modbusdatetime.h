#ifndef MODBUSDATETIME_H
#define MODBUSDATETIME_H

#include "modbusitemaddressedbase.h"

// A date-time stored as a 32-bit wall-clock time label over two registers.
class TAVREXBUS1_EXPORT ModbusDateTime : public ModbusItemAddressedBase
{
    Q_OBJECT
    Q_PROPERTY(QDateTime value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(QString format READ format WRITE setFormat NOTIFY formatChanged)

public:
    explicit ModbusDateTime(QObject *parent = nullptr);
    ModbusDateTime(quint32 address, QObject *parent = nullptr);

    QDateTime value() const { return m_value; }
    QString format() const { return m_format; }
    void setFormat(const QString &format);

    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    void setValue(const QDateTime &value);
    bool writeValue(const QDateTime &value);

Q_SIGNALS:
    void valueChanged();
    void formatChanged();

protected:
    void updateValueFromBytes() override;

private:
    QDateTime m_value;
    QString m_format;
};

#endif
