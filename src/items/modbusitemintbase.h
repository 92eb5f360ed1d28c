#ifndef MODBUSITEMINTBASE_H
#define MODBUSITEMINTBASE_H

#include "modbusitemaddressedbase.h"

/// Integer items show and parse their value in a radix of the application's choice.
///
/// Registered in QML as the uncreatable type `ModbusItemIntBase` (`import TavrexBus 1.0`), so that QML sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT ModbusItemIntBase : public ModbusItemAddressedBase
{
    Q_OBJECT
    /// Radix of formatValue (2-36); 10 by default.
    Q_PROPERTY(int base READ base WRITE setBase NOTIFY baseChanged)

public:
    /// The constructors of ModbusItemAddressedBase.
    using ModbusItemAddressedBase::ModbusItemAddressedBase;

    /// Getter of the base property.
    int base() const { return m_base; }
    /// Setter of the base property.
    void setBase(int base);

Q_SIGNALS:
    /// base changed.
    void baseChanged();

private:
    int m_base = 10;
};

#endif
