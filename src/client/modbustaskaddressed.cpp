#include "modbustaskaddressed.h"

#include "modbusitemaddressedbase.h"

namespace {

// A part starts where the entries before it end, so that it carries its own item's address.
quint32 partAddress(const ModbusTaskAddressed &source, int index)
{
    const int step = TavrexBus::getBytesInAddress(source.address());
    int bytes = 0;
    for (int i = 0; i < index; ++i)
        bytes += source.dataList().at(i).count * source.dataList().at(i).bytesCount;
    return source.address() + quint32((bytes + step - 1) / step);
}

} // namespace

ModbusTaskAddressed::ModbusTaskAddressed(ModbusItemAddressedBase &item, int interval)
    : ModbusTask(item, interval), m_address(item.address())
{
}

ModbusTaskAddressed::ModbusTaskAddressed(ModbusItemAddressedBase &item, TavrexBus::ModbusTaskType type,
                                         int interval)
    : ModbusTask(item, type, interval), m_address(item.address())
{
}

ModbusTaskAddressed::ModbusTaskAddressed(ModbusItemAddressedBase &item, const ModbusBytesArray &bytes)
    : ModbusTask(item, bytes), m_address(item.address())
{
}

ModbusTaskAddressed::ModbusTaskAddressed(const ModbusTaskAddressed &source, int index)
    : ModbusTask(source, index), m_address(partAddress(source, index))
{
}

ModbusTask *ModbusTaskAddressed::clone() const
{
    return new ModbusTaskAddressed(*this);
}

ModbusTaskList ModbusTaskAddressed::split()
{
    return splitInto(*this);
}
