#include "modbustaskdatalist.h"

#include "modbusitembase.h"

ModbusTaskDataItem::ModbusTaskDataItem(ModbusItemBase *item, int bytesCount, int count,
                                       const ModbusBytesArray &bytes)
    : item(item), count(count), bytesCount(bytesCount), bytes(bytes)
{
}

bool ModbusTaskDataItem::operator==(const ModbusTaskDataItem &other) const
{
    return count == other.count && bytesCount == other.bytesCount && item == other.item
            && std::equal(bytes.cbegin(), bytes.cend(), other.bytes.cbegin(), other.bytes.cend(),
                          [](const QByteArray &a, const QByteArray &b) { return a == b; });
}

int ModbusTaskDataList::indexOfItem(ModbusItemBase *item) const
{
    for (int i = 0; i < size(); ++i) {
        if (at(i).item.data() == item)
            return i;
    }
    return -1;
}

ModbusBytes ModbusTaskDataList::getBytes() const
{
    ModbusBytes result;
    for (const ModbusTaskDataItem &entry : *this) {
        for (const ModbusBytes &block : entry.bytes)
            result.append(block);
    }
    return result;
}

void ModbusTaskDataList::setBytes(const ModbusBytes &bytes)
{
    int offset = 0;
    for (ModbusTaskDataItem &entry : *this) {
        const int length = entry.count * entry.bytesCount;
        entry.bytes = ModbusBytes::fromOther(bytes, offset, length).splitBySize(entry.bytesCount, -1);
        offset += length;
    }
}

void ModbusTaskDataList::setBytes(const ModbusBytesArray &blocks)
{
    int offset = 0;
    for (ModbusTaskDataItem &entry : *this) {
        entry.bytes = ModbusBytesArray(blocks, offset, entry.count);
        offset += entry.count;
    }
}

QList<ItemPointer> ModbusTaskDataList::getItems() const
{
    QList<ItemPointer> items;
    items.reserve(size());
    for (const ModbusTaskDataItem &entry : *this)
        items.append(entry.item);
    return items;
}
