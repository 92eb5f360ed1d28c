#ifndef MODBUSITEMINTBASE_H
#define MODBUSITEMINTBASE_H

#include "modbusitemaddressedbase.h"

// Integer items show and parse their value in a radix of the application's choice.
class TAVREXBUS1_EXPORT ModbusItemIntBase : public ModbusItemAddressedBase
{
    Q_OBJECT
    Q_PROPERTY(int base READ base WRITE setBase NOTIFY baseChanged)

public:
    using ModbusItemAddressedBase::ModbusItemAddressedBase;

    int base() const { return m_base; }
    void setBase(int base);

Q_SIGNALS:
    void baseChanged();

private:
    int m_base = 10;
};

#endif
