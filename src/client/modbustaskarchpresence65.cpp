#include "modbustaskarchpresence65.h"

ModbusTaskArchPresence65::ModbusTaskArchPresence65(ModbusItemBase &labelItem, TavrexBus::ArchDirection direction,
                                                   int interval, TavrexBus::ArchInterval archInterval)
    : ModbusTaskArchPresence(labelItem, direction, interval), m_archInterval(archInterval)
{
}

ModbusTaskArchPresence65::ModbusTaskArchPresence65(const ModbusTaskArchPresence65 &source, int index)
    : ModbusTaskArchPresence(source, index), m_archInterval(source.m_archInterval)
{
}

ModbusTask *ModbusTaskArchPresence65::clone() const
{
    return new ModbusTaskArchPresence65(*this);
}

ModbusTaskList ModbusTaskArchPresence65::split()
{
    return splitInto(*this);
}
