#ifndef MODBUSTASKLIST_H
#define MODBUSTASKLIST_H

#include "tavrexbus1global.h"

#include <QtCore/qlist.h>

class ModbusItemBase;
class ModbusTask;

/// Tasks held by pointer. Whoever holds a task in such a list owns it and deletes it explicitly.
class TAVREXBUS1_EXPORT ModbusTaskList : public QList<ModbusTask *>
{
public:
    using QList<ModbusTask *>::QList;

    /// Index of the first task of item; -1 when none.
    int indexOfItem(ModbusItemBase *item) const;
    /// True when a task of item is held.
    bool contains(ModbusItemBase *item) const { return indexOfItem(item) >= 0; }
    /// Copies of every task; the caller owns them.
    ModbusTaskList clone() const;
    /// Deletes the tasks of item; returns how many.
    int removeWithDelete(ModbusItemBase *item);
    /// Deletes every task and empties the list.
    void clearWithDelete();
    /// The distinct intervals of the tasks.
    QList<int> intervals() const;

    /// The tasks of list with interval (not copies).
    static ModbusTaskList fromOtherByInterval(const ModbusTaskList &list, int interval);
};

#endif
