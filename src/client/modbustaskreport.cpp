#include "modbustaskreport.h"

#include <QtCore/qdebug.h>

ModbusTaskReport::ModbusTaskReport(ModbusItemBase &report, int interval)
    : ModbusTask(report, TavrexBus::ReadTask, interval)
{
}

ModbusTask *ModbusTaskReport::clone() const
{
    return new ModbusTaskReport(*this);
}

ModbusTaskList ModbusTaskReport::split()
{
    qWarning("splitting of ModbusReport task is not allowed");
    return ModbusTaskList();
}
