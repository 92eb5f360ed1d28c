#include "modbustaskreport.h"

#include "tavrexbuslogging_p.h"

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
    qCWarning(lcClient, "splitting of ModbusReport task is not allowed");
    return ModbusTaskList();
}
