#ifndef MODBUSTASKLIST_H
#define MODBUSTASKLIST_H

#include "tavrexbus1global.h"

#include <QtCore/qlist.h>

class ModbusItemBase;
class ModbusTask;

// Tasks held by pointer. Whoever holds a task in such a list owns it and deletes it explicitly.
class TAVREXBUS1_EXPORT ModbusTaskList : public QList<ModbusTask *>
{
public:
    using QList<ModbusTask *>::QList;

    int indexOfItem(ModbusItemBase *item) const;
    bool contains(ModbusItemBase *item) const { return indexOfItem(item) >= 0; }
    ModbusTaskList clone() const;
    int removeWithDelete(ModbusItemBase *item);
    void clearWithDelete();
    QList<int> intervals() const;

    static ModbusTaskList fromOtherByInterval(const ModbusTaskList &list, int interval);
};

#endif
