#ifndef MODBUSTASK_H
#define MODBUSTASK_H

#include "modbusbytesarray.h"
#include "modbustaskdatalist.h"
#include "modbustasklist.h"
#include "tavrexbus.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qdatetime.h>

// One unit of reading or writing work. A task snapshots everything its execution needs from its
// item, so that it runs on the executor thread without touching the item.
class TAVREXBUS1_EXPORT ModbusTask
{
    Q_DECLARE_TR_FUNCTIONS(ModbusTask)

public:
    ModbusTask(ModbusItemBase &item, int interval);
    ModbusTask(ModbusItemBase &item, TavrexBus::ModbusTaskType type, int interval);
    ModbusTask(ModbusItemBase &item, const ModbusBytesArray &bytes);
    ModbusTask(const ModbusTask &other);
    ModbusTask &operator=(const ModbusTask &) = delete;
    virtual ~ModbusTask();

    virtual ModbusTask *clone() const = 0;
    virtual void reset();
    virtual ModbusTaskList split() = 0;
    virtual void append(const ModbusTask &other);
    virtual void append(ModbusItemBase &item);

    int interval() const { return m_interval; }
    TavrexBus::ModbusTaskType type() const { return m_type; }
    TavrexBus::ModbusTaskState state() const { return m_state; }
    void setState(TavrexBus::ModbusTaskState state) { m_state = state; }
    bool executed() const { return m_state != TavrexBus::TaskWaiting; }
    QString errorString() const { return m_errorString; }
    void setErrorString(const QString &errorString) { m_errorString = errorString; }
    QDateTime lastProcessTime() const { return m_lastProcessTime; }
    void setLastProcessTime(const QDateTime &time) { m_lastProcessTime = time; }
    QDateTime nextProcessTime() const { return m_lastProcessTime.addMSecs(m_interval); }
    void initLastProcessTime(const ModbusItemBase &item);
    bool force() const { return m_force; }
    void setForce(bool force) { m_force = force; }
    bool useOptimizing() const { return m_useOptimizing; }
    quint8 deviceAddress() const { return m_deviceAddress; }
    void setDeviceAddress(quint8 address) { m_deviceAddress = address; }
    int count() const { return m_count; }
    void setCount(int count) { m_count = count; }
    const ModbusTaskDataList &dataList() const { return m_dataList; }

    int requestBytesCount() const;
    ModbusItemBase *firstItem() const;
    ModbusBytesArray firstBytes() const;
    bool contains(ModbusItemBase *item) const { return m_dataList.contains(item); }
    void setBytes(const ModbusBytesArray &blocks);
    void setBytes(const ModbusBytes &bytes, int n);
    void abort();

protected:
    // A part of a split task: every field of the source, but only its entry at index.
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
