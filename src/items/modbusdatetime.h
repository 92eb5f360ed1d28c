#ifndef MODBUSDATETIME_H
#define MODBUSDATETIME_H

#include "modbusitemaddressedbase.h"

/// A date-time stored as a 32-bit wall-clock time label over two registers.
///
/// Available in QML as `ModbusDateTime` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusDateTime : public ModbusItemAddressedBase
{
    Q_OBJECT
    /// The date-time of the time label.
    Q_PROPERTY(QDateTime value READ value WRITE setValue NOTIFY valueChanged)
    /// QDateTime format of formatValue; "yyyy.MM.dd hh:mm:ss" by default.
    Q_PROPERTY(QString format READ format WRITE setFormat NOTIFY formatChanged)

public:
    /// A date-time at holding register 400001.
    explicit ModbusDateTime(QObject *parent = nullptr);
    /// A date-time at the logical number address.
    ModbusDateTime(quint32 address, QObject *parent = nullptr);

    /// Getter of the value property.
    QDateTime value() const { return m_value; }
    /// Getter of the format property.
    QString format() const { return m_format; }
    /// Setter of the format property.
    void setFormat(const QString &format);

    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    /// Setter of the value property.
    void setValue(const QDateTime &value);
    /// Writes value as a time label; value itself changes after a later read.
    bool writeValue(const QDateTime &value);

Q_SIGNALS:
    /// value changed.
    void valueChanged();
    /// format changed.
    void formatChanged();

protected:
    void updateValueFromBytes() override;

private:
    QDateTime m_value;
    QString m_format;
};

#endif
