#ifndef MODBUSITEMFLOATINGBASE_H
#define MODBUSITEMFLOATINGBASE_H

#include "modbusitemaddressedbase.h"

/// Floating-point items print their value with a QString::number format character and precision.
///
/// Registered in QML as the uncreatable type `ModbusItemFloatingBase` (`import TavrexBus 1.0`), so that QML
/// sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT ModbusItemFloatingBase : public ModbusItemAddressedBase
{
    Q_OBJECT
    /// QString::number format character of formatValue: 'f' (default), 'e', 'g' …
    Q_PROPERTY(QString format READ formatString WRITE setFormatString NOTIFY formatChanged)
    /// Digits of formatValue after the point (or significant digits with 'g'); 3 by default.
    Q_PROPERTY(int precision READ precision WRITE setPrecision NOTIFY precisionChanged)

public:
    /// The constructors of ModbusItemAddressedBase.
    using ModbusItemAddressedBase::ModbusItemAddressedBase;

    /// The format character.
    char format() const { return m_format; }
    /// Sets the format character.
    void setFormat(char format);
    /// Getter of the precision property.
    int precision() const { return m_precision; }
    /// Setter of the precision property.
    void setPrecision(int precision);

Q_SIGNALS:
    /// format changed.
    void formatChanged();
    /// precision changed.
    void precisionChanged();

private:
    QString formatString() const { return QString(QLatin1Char(m_format)); }
    void setFormatString(const QString &format);

    char m_format = 'f';
    int m_precision = 3;
};

#endif
