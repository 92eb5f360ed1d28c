#include "recordingclient.h"

#include <TavrexBus1/modbusitembase.h>

RecordingClient::~RecordingClient()
{
    queued.clearWithDelete();
    intervalTasks.clearWithDelete();
}

void RecordingClient::executeTaskSyncSilent(ModbusTask *task)
{
    task->setState(syncState);
    task->setLastProcessTime(QDateTime::currentDateTime());
}

bool RecordingClient::completeNext(const ModbusBytesArray &bytes, TavrexBus::ModbusTaskState state,
                                   const QString &errorString)
{
    if (queued.isEmpty())
        return false;
    ModbusTask *task = queued.takeFirst();
    if (task->type() == TavrexBus::ReadTask)
        task->setBytes(bytes);
    task->setState(state);
    task->setErrorString(errorString);
    task->setLastProcessTime(QDateTime::currentDateTime());
    ModbusItemBase *item = task->firstItem();
    const bool taken = item && item->taskCompleted(task);
    emit executed(item);
    delete task;
    return taken;
}
