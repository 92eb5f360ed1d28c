#ifndef MODBUSTASK_H
#define MODBUSTASK_H

#include "modbusbytesarray.h"
#include "modbustaskdatalist.h"
#include "modbustasklist.h"
#include "tavrexbus.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qdatetime.h>

/// One unit of reading or writing work. A task snapshots everything its execution needs from its
/// item, so that it runs on the executor thread without touching the item.
class TAVREXBUS1_EXPORT ModbusTask
{
    Q_DECLARE_TR_FUNCTIONS(ModbusTask)

public:
    /// A read of item, every interval milliseconds (0: once).
    ModbusTask(ModbusItemBase &item, int interval);
    /// A read or write of item, every interval milliseconds (0: once).
    ModbusTask(ModbusItemBase &item, TavrexBus::ModbusTaskType type, int interval);
    /// A one-off write of bytes to item.
    ModbusTask(ModbusItemBase &item, const ModbusBytesArray &bytes);
    /// Copies other, items and bytes included.
    ModbusTask(const ModbusTask &other);
    ModbusTask &operator=(const ModbusTask &) = delete;
    virtual ~ModbusTask();

    /// A copy; the caller owns it.
    virtual ModbusTask *clone() const = 0;
    /// Back to waiting, with no error and no bytes read.
    virtual void reset();
    /// The task cut into parts the protocol can carry; the caller owns them.
    virtual ModbusTaskList split() = 0;
    /// Takes the items of other into this task (merging neighbouring reads).
    virtual void append(const ModbusTask &other);
    /// Adds item to the task.
    virtual void append(ModbusItemBase &item);

    /// Period in milliseconds; 0 for a one-off task.
    int interval() const { return m_interval; }
    /// Read or write.
    TavrexBus::ModbusTaskType type() const { return m_type; }
    /// Where the task stands.
    TavrexBus::ModbusTaskState state() const { return m_state; }
    /// Records where the task stands.
    void setState(TavrexBus::ModbusTaskState state) { m_state = state; }
    /// True once the task is no longer waiting.
    bool executed() const { return m_state != TavrexBus::TaskWaiting; }
    /// Why the task failed.
    QString errorString() const { return m_errorString; }
    /// Records why the task failed.
    void setErrorString(const QString &errorString) { m_errorString = errorString; }
    /// When the task last ran.
    QDateTime lastProcessTime() const { return m_lastProcessTime; }
    /// Records when the task ran.
    void setLastProcessTime(const QDateTime &time) { m_lastProcessTime = time; }
    /// When a periodic task is due next.
    QDateTime nextProcessTime() const { return m_lastProcessTime.addMSecs(m_interval); }
    /// Schedules the first run from item's last read.
    void initLastProcessTime(const ModbusItemBase &item);
    /// Whether the item asked for a forced task.
    bool force() const { return m_force; }
    /// Marks the task forced.
    void setForce(bool force) { m_force = force; }
    /// Whether the task may be merged with neighbours.
    bool useOptimizing() const { return m_useOptimizing; }
    /// The Modbus unit address of the request.
    quint8 deviceAddress() const { return m_deviceAddress; }
    /// Sets the Modbus unit address of the request.
    void setDeviceAddress(quint8 address) { m_deviceAddress = address; }
    /// Elements of the (first) item.
    int count() const { return m_count; }
    /// Sets the element count.
    void setCount(int count) { m_count = count; }
    /// The items of the task, with their bytes.
    const ModbusTaskDataList &dataList() const { return m_dataList; }

    /// Bytes the request covers.
    int requestBytesCount() const;
    /// The first item; null when it is gone.
    ModbusItemBase *firstItem() const;
    /// The bytes read for, or to be written to, the first item.
    ModbusBytesArray firstBytes() const;
    /// True when item takes part.
    bool contains(ModbusItemBase *item) const { return m_dataList.contains(item); }
    /// Shares blocks out among the items, as read.
    void setBytes(const ModbusBytesArray &blocks);
    /// Stores bytes as block n.
    void setBytes(const ModbusBytes &bytes, int n);
    /// Marks the task aborted.
    void abort();

protected:
    /// A part of a split task: every field of the source, but only its entry at index.
    ModbusTask(const ModbusTask &source, int index);

    template<typename T>
    static ModbusTaskList splitInto(T &source)
    {
        ModbusTaskList parts;
        for (int i = 0; i < source.dataList().size(); ++i)
            parts.append(new T(source, i));
        return parts;
    }

private:
    int m_interval = 0;
    TavrexBus::ModbusTaskType m_type = TavrexBus::ReadTask;
    QString m_errorString;
    QDateTime m_lastProcessTime;
    TavrexBus::ModbusTaskState m_state = TavrexBus::TaskWaiting;
    bool m_force = false;
    bool m_useOptimizing = true;
    quint8 m_deviceAddress = 1;
    int m_count = 1;
    ModbusTaskDataList m_dataList;
};

#endif
