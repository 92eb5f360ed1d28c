#include "modbustasklist.h"

#include "modbustask.h"

int ModbusTaskList::indexOfItem(ModbusItemBase *item) const
{
    for (int i = 0; i < size(); ++i) {
        if (at(i)->contains(item))
            return i;
    }
    return -1;
}

ModbusTaskList ModbusTaskList::clone() const
{
    ModbusTaskList copy;
    copy.reserve(size());
    for (const ModbusTask *task : *this)
        copy.append(task->clone());
    return copy;
}

int ModbusTaskList::removeWithDelete(ModbusItemBase *item)
{
    int removed = 0;
    for (int i = int(size()) - 1; i >= 0; --i) {
        if (at(i)->contains(item)) {
            delete takeAt(i);
            ++removed;
        }
    }
    return removed;
}

void ModbusTaskList::clearWithDelete()
{
    qDeleteAll(*this);
    clear();
}

QList<int> ModbusTaskList::intervals() const
{
    QList<int> result;
    for (const ModbusTask *task : *this) {
        if (!result.contains(task->interval()))
            result.append(task->interval());
    }
    return result;
}

ModbusTaskList ModbusTaskList::fromOtherByInterval(const ModbusTaskList &list, int interval)
{
    ModbusTaskList result;
    for (ModbusTask *task : list) {
        if (task->interval() == interval)
            result.append(task);
    }
    return result;
}
