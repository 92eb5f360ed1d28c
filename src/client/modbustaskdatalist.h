#ifndef MODBUSTASKDATALIST_H
#define MODBUSTASKDATALIST_H

#include "itempointer.h"
#include "modbusbytesarray.h"

#include <QtCore/qlist.h>

// The share of one item in a task: its element count and size, and the bytes to write or that were read.
class TAVREXBUS1_EXPORT ModbusTaskDataItem
{
public:
    ModbusTaskDataItem() = default;
    ModbusTaskDataItem(ModbusItemBase *item, int bytesCount, int count, const ModbusBytesArray &bytes);

    bool operator==(const ModbusTaskDataItem &other) const;
    bool operator!=(const ModbusTaskDataItem &other) const { return !(*this == other); }

    ItemPointer item;
    int count = 0;
    int bytesCount = 0;
    ModbusBytesArray bytes;
};

class TAVREXBUS1_EXPORT ModbusTaskDataList : public QList<ModbusTaskDataItem>
{
public:
    using QList<ModbusTaskDataItem>::QList;

    int indexOfItem(ModbusItemBase *item) const;
    bool contains(ModbusItemBase *item) const { return indexOfItem(item) >= 0; }
    ModbusBytes getBytes() const;
    void setBytes(const ModbusBytes &bytes);
    void setBytes(const ModbusBytesArray &blocks);
    QList<ItemPointer> getItems() const;
};

#endif
