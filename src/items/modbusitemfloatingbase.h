#ifndef MODBUSITEMFLOATINGBASE_H
#define MODBUSITEMFLOATINGBASE_H

#include "modbusitemaddressedbase.h"

// Floating-point items print their value with a QString::number format character and precision.
class TAVREXBUS1_EXPORT ModbusItemFloatingBase : public ModbusItemAddressedBase
{
    Q_OBJECT
    Q_PROPERTY(QString format READ formatString WRITE setFormatString NOTIFY formatChanged)
    Q_PROPERTY(int precision READ precision WRITE setPrecision NOTIFY precisionChanged)

public:
    using ModbusItemAddressedBase::ModbusItemAddressedBase;

    char format() const { return m_format; }
    void setFormat(char format);
    int precision() const { return m_precision; }
    void setPrecision(int precision);

Q_SIGNALS:
    void formatChanged();
    void precisionChanged();

private:
    QString formatString() const { return QString(QLatin1Char(m_format)); }
    void setFormatString(const QString &format);

    char m_format = 'f';
    int m_precision = 3;
};

#endif
