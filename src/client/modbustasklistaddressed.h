#ifndef MODBUSTASKLISTADDRESSED_H
#define MODBUSTASKLISTADDRESSED_H

#include "modbustasklist.h"
#include "tavrexbus.h"

class ModbusTaskAddressed;

// Addressed tasks picked out of a task list, for grouping requests by address.
class TAVREXBUS1_EXPORT ModbusTaskListAddressed : public QList<ModbusTaskAddressed *>
{
public:
    using QList<ModbusTaskAddressed *>::QList;

    void sort();

    static ModbusTaskListAddressed takeFromTaskList(ModbusTaskList &list);
    static ModbusTaskListAddressed takeRegistersFromTaskList(ModbusTaskList &list);
    static ModbusTaskListAddressed takeFromTaskListByType(ModbusTaskList &list, TavrexBus::ModbusAddressType type);
    static ModbusTaskListAddressed takeCoilsFromTaskList(ModbusTaskList &list);
    static ModbusTaskListAddressed takeDiscreteInputsFromTaskList(ModbusTaskList &list);
    static ModbusTaskListAddressed fromTaskList(const ModbusTaskList &list);
};

#endif
