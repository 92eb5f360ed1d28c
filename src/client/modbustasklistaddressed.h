#ifndef MODBUSTASKLISTADDRESSED_H
#define MODBUSTASKLISTADDRESSED_H

#include "modbustasklist.h"
#include "tavrexbus.h"

class ModbusTaskAddressed;

/// Addressed tasks picked out of a task list, for grouping requests by address.
class TAVREXBUS1_EXPORT ModbusTaskListAddressed : public QList<ModbusTaskAddressed *>
{
public:
    using QList<ModbusTaskAddressed *>::QList;

    /// Orders the tasks by logical address (stable), for merging neighbours.
    void sort();

    /// Moves the addressed tasks out of list.
    static ModbusTaskListAddressed takeFromTaskList(ModbusTaskList &list);
    /// Moves the register tasks out of list.
    static ModbusTaskListAddressed takeRegistersFromTaskList(ModbusTaskList &list);
    /// Moves the tasks on table type out of list.
    static ModbusTaskListAddressed takeFromTaskListByType(ModbusTaskList &list, TavrexBus::ModbusAddressType type);
    /// Moves the coil tasks out of list.
    static ModbusTaskListAddressed takeCoilsFromTaskList(ModbusTaskList &list);
    /// Moves the discrete-input tasks out of list.
    static ModbusTaskListAddressed takeDiscreteInputsFromTaskList(ModbusTaskList &list);
    /// The addressed tasks of list (not copies).
    static ModbusTaskListAddressed fromTaskList(const ModbusTaskList &list);
};

#endif
