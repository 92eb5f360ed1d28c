#include "modbustask.h"

#include "modbusitembase.h"

ModbusTask::ModbusTask(ModbusItemBase &item, int interval)
    : ModbusTask(item, TavrexBus::ReadTask, interval)
{
}

ModbusTask::ModbusTask(ModbusItemBase &item, TavrexBus::ModbusTaskType type, int interval)
    : m_interval(type == TavrexBus::WriteTask ? 0 : interval),
      m_type(type),
      m_useOptimizing(item.useOptimizing()),
      m_deviceAddress(quint8(item.deviceAddress())),
      m_count(item.count())
{
    append(item);
    initLastProcessTime(item);
}

ModbusTask::ModbusTask(ModbusItemBase &item, const ModbusBytesArray &bytes)
    : ModbusTask(item, TavrexBus::WriteTask, 0)
{
    m_dataList.first().bytes = bytes;
}

ModbusTask::ModbusTask(const ModbusTask &other)
    : m_interval(other.m_interval),
      m_type(other.m_type),
      m_lastProcessTime(other.m_lastProcessTime),
      m_state(other.m_state),
      m_force(other.m_force),
      m_useOptimizing(other.m_useOptimizing),
      m_deviceAddress(other.m_deviceAddress),
      m_count(other.m_count),
      m_dataList(other.m_dataList)
{
}

ModbusTask::ModbusTask(const ModbusTask &source, int index)
    : ModbusTask(source)
{
    m_dataList = ModbusTaskDataList{source.m_dataList.value(index)};
}

ModbusTask::~ModbusTask() = default;

void ModbusTask::reset()
{
    m_errorString.clear();
    m_state = TavrexBus::TaskWaiting;
    m_lastProcessTime = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
    if (m_type == TavrexBus::ReadTask) {
        for (ModbusTaskDataItem &entry : m_dataList)
            entry.bytes.clear();
    }
}

void ModbusTask::append(const ModbusTask &other)
{
    m_dataList.append(other.m_dataList);
}

void ModbusTask::append(ModbusItemBase &item)
{
    const ModbusBytesArray bytes = m_type == TavrexBus::WriteTask ? item.getModbusBytes() : ModbusBytesArray();
    m_dataList.append(ModbusTaskDataItem(&item, item.requestItemModbusBytesCount(), item.count(), bytes));
}

void ModbusTask::initLastProcessTime(const ModbusItemBase &item)
{
    // The stored time, not the getter's local one: a time-zone look-up per request would cost more than
    // building the rest of the task.
    m_lastProcessTime = m_type == TavrexBus::ReadTask ? item.m_lastReadTime : item.m_lastWriteTime;
}

int ModbusTask::requestBytesCount() const
{
    int total = 0;
    for (const ModbusTaskDataItem &entry : m_dataList)
        total += entry.count * entry.bytesCount;
    return total;
}

ModbusItemBase *ModbusTask::firstItem() const
{
    return m_dataList.isEmpty() ? nullptr : m_dataList.first().item.data();
}

ModbusBytesArray ModbusTask::firstBytes() const
{
    return m_dataList.isEmpty() ? ModbusBytesArray() : m_dataList.first().bytes;
}

void ModbusTask::setBytes(const ModbusBytesArray &blocks)
{
    m_dataList.setBytes(blocks);
}

void ModbusTask::setBytes(const ModbusBytes &bytes, int n)
{
    if (n == -1 || m_count < 1)
        m_dataList.setBytes(bytes);
    else
        m_dataList.setBytes(bytes.splitByCount(m_count));
}

void ModbusTask::abort()
{
    m_state = TavrexBus::TaskAborted;
    m_errorString = tr("aborted");
}
