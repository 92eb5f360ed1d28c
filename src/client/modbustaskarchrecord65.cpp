#include "modbustaskarchrecord65.h"

ModbusTaskArchRecord65::ModbusTaskArchRecord65(ModbusItemBase &record, quint32 label, int interval)
    : ModbusTaskArch(record, TavrexBus::Forward, interval), m_label(label)
{
}

ModbusTaskArchRecord65::ModbusTaskArchRecord65(const ModbusTaskArchRecord65 &source, int index)
    : ModbusTaskArch(source, index),
      m_label(source.m_label),
      m_recordSize(source.m_recordSize),
      m_archInterval(source.m_archInterval)
{
}

ModbusTask *ModbusTaskArchRecord65::clone() const
{
    return new ModbusTaskArchRecord65(*this);
}

ModbusTaskList ModbusTaskArchRecord65::split()
{
    return splitInto(*this);
}

quint32 ModbusTaskArchRecord65::getNextLabel(quint32 label, bool *ok, quint32 step) const
{
    return TavrexBus::getNextLabel(label, archType(), m_archInterval, ok, step, TavrexBus::Forward);
}
