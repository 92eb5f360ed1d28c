#ifndef MODBUSTASKDATALIST_H
#define MODBUSTASKDATALIST_H

#include "itempointer.h"
#include "modbusbytesarray.h"

#include <QtCore/qlist.h>

/// The share of one item in a task: its element count and size, and the bytes to write or that were read.
class TAVREXBUS1_EXPORT ModbusTaskDataItem
{
public:
    ModbusTaskDataItem() = default;
    /// The share of item: count elements of bytesCount bytes, and bytes.
    ModbusTaskDataItem(ModbusItemBase *item, int bytesCount, int count, const ModbusBytesArray &bytes);

    /// Equal when item, counts and bytes are.
    bool operator==(const ModbusTaskDataItem &other) const;
    /// The opposite of operator==().
    bool operator!=(const ModbusTaskDataItem &other) const { return !(*this == other); }

    /// The item; null once it is gone.
    ItemPointer item;
    /// Elements of the item.
    int count = 0;
    /// Bytes of one element.
    int bytesCount = 0;
    /// The bytes read, or to write.
    ModbusBytesArray bytes;
};

/// The items of a task, each with its share of the task's bytes, in the order the request carries them.
class TAVREXBUS1_EXPORT ModbusTaskDataList : public QList<ModbusTaskDataItem>
{
public:
    using QList<ModbusTaskDataItem>::QList;

    /// Index of item's entry; -1 when none.
    int indexOfItem(ModbusItemBase *item) const;
    /// True when item has an entry.
    bool contains(ModbusItemBase *item) const { return indexOfItem(item) >= 0; }
    /// The bytes of every entry joined, as one request carries them.
    ModbusBytes getBytes() const;
    /// Shares bytes out among the entries by their sizes.
    void setBytes(const ModbusBytes &bytes);
    /// Shares blocks out among the entries, one block per element.
    void setBytes(const ModbusBytesArray &blocks);
    /// The items of the entries.
    QList<ItemPointer> getItems() const;
};

#endif
