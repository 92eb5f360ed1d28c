#include "modbustaskarch.h"

ModbusTaskArch::ModbusTaskArch(ModbusItemBase &item, TavrexBus::ArchDirection direction, int interval)
    : ModbusTask(item, TavrexBus::ReadTask, interval), m_direction(direction)
{
}

ModbusTaskArch::ModbusTaskArch(const ModbusTaskArch &source, int index)
    : ModbusTask(source, index),
      m_archIndex(source.m_archIndex),
      m_func(source.m_func),
      m_archType(source.m_archType),
      m_direction(source.m_direction)
{
}
