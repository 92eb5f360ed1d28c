#ifndef MODBUSTASKARCHPRESENCE65_H
#define MODBUSTASKARCHPRESENCE65_H

#include "modbustaskarchpresence.h"

/// Archive label presence computed from the archive interval, for devices that only serve function 65.
class TAVREXBUS1_EXPORT ModbusTaskArchPresence65 : public ModbusTaskArchPresence
{
public:
    /// A presence computed for labelItem from the archive interval.
    ModbusTaskArchPresence65(ModbusItemBase &labelItem, TavrexBus::ArchDirection direction, int interval,
                             TavrexBus::ArchInterval archInterval);
    /// Copies other.
    ModbusTaskArchPresence65(const ModbusTaskArchPresence65 &other) = default;
    /// Part index of a split source.
    ModbusTaskArchPresence65(const ModbusTaskArchPresence65 &source, int index);

    ModbusTask *clone() const override;
    ModbusTaskList split() override;

    /// The archive interval the labels follow.
    TavrexBus::ArchInterval archInterval() const { return m_archInterval; }

private:
    TavrexBus::ArchInterval m_archInterval;
};

#endif
