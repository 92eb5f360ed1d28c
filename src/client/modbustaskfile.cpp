#include "modbustaskfile.h"

ModbusTaskFile::ModbusTaskFile(ModbusItemBase &item, TavrexBus::ModbusTaskType type, int interval, quint8 file,
                               quint16 offset, int length, int modbusBlockSize)
    : ModbusTask(item, type, interval),
      m_file(file),
      m_offset(offset),
      m_length(length),
      m_modbusBlockSize(modbusBlockSize)
{
}

ModbusTaskFile::ModbusTaskFile(const ModbusTaskFile &source, int index)
    : ModbusTask(source, index),
      m_file(source.m_file),
      m_offset(source.m_offset),
      m_length(source.m_length),
      m_modbusBlockSize(source.m_modbusBlockSize)
{
}

ModbusTask *ModbusTaskFile::clone() const
{
    return new ModbusTaskFile(*this);
}

ModbusTaskList ModbusTaskFile::split()
{
    return splitInto(*this);
}
