#ifndef RECORDINGCLIENT_H
#define RECORDINGCLIENT_H

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbustask.h>

// A client that runs nothing: it keeps the tasks its items hand over, so that a test can inspect
// them and complete them with the bytes and state of its choice.
class RecordingClient : public ModbusClient
{
    Q_OBJECT

public:
    using ModbusClient::ModbusClient;
    ~RecordingClient() override;

    void executeTask(ModbusTask *task) override { queued.append(task); }
    void executeTaskSyncSilent(ModbusTask *task) override;
    void startExecutingIntervalTask(ModbusTask *task) override { intervalTasks.append(task); }
    void stopExecutingIntervalTask(ModbusItemBase *item) override { intervalTasks.removeWithDelete(item); }
    void registerItem(ModbusItemBase *item) override { registered.append(item); }
    void unRegisterItem(ModbusItemBase *item) override { unregistered.append(item); }

    using ModbusClient::setConnected;

    // Completes the oldest queued task and hands it to its item; returns what the item answered.
    bool completeNext(const ModbusBytesArray &bytes, TavrexBus::ModbusTaskState state = TavrexBus::TaskDone,
                      const QString &errorString = QString());

    ModbusTaskList queued;
    ModbusTaskList intervalTasks;
    QList<ModbusItemBase *> registered;
    QList<ModbusItemBase *> unregistered;
    // How a synchronous execution ends; it answers no bytes.
    TavrexBus::ModbusTaskState syncState = TavrexBus::TaskDone;
};

#endif
