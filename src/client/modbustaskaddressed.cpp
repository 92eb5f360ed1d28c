#include "modbustaskaddressed.h"

#include "modbusitemaddressedbase.h"

ModbusTaskAddressed::ModbusTaskAddressed(ModbusItemAddressedBase &item, int interval)
    : ModbusTask(item, interval), m_address(item.address())
{
}

ModbusTaskAddressed::ModbusTaskAddressed(ModbusItemAddressedBase &item, TavrexBus::ModbusTaskType type,
                                         int interval)
    : ModbusTask(item, type, interval), m_address(item.address())
{
}

ModbusTaskAddressed::ModbusTaskAddressed(ModbusItemAddressedBase &item, const ModbusBytesArray &bytes)
    : ModbusTask(item, bytes), m_address(item.address())
{
}

ModbusTaskAddressed::ModbusTaskAddressed(const ModbusTaskAddressed &source, int index)
    : ModbusTask(source, index),
      m_address(source.m_address + quint32(index) * TavrexBus::getBytesInAddress(source.m_address))
{
}

ModbusTask *ModbusTaskAddressed::clone() const
{
    return new ModbusTaskAddressed(*this);
}

ModbusTaskList ModbusTaskAddressed::split()
{
    return splitInto(*this);
}
