#ifndef MODBUSCLIENTEXECUTOR_H
#define MODBUSCLIENTEXECUTOR_H

#include "errobject.h"
#include "itempointer.h"
#include "modbuser.h"
#include "modbusprotocol.h"

#include <QtCore/qlist.h>
#include <QtCore/qtimer.h>

#include <atomic>
#include <mutex>

class ModbusItemBase;
class ModbusTask;
class ModbusTaskAddressed;
class ModbusTaskArchPresence;
class ModbusTaskArchPresence65;
class ModbusTaskArchRecord65;
class ModbusTaskFile;
class ModbusTaskServer;
class ModbusTransport;

/// Turns tasks into Modbus exchanges on the client's worker thread. One timer drives it: each tick
/// runs the next queued task, or else the next due interval task, and returns the result to the
/// task server. Requests beyond the per-request limits are split, and aborts are honoured between
/// the parts.
class TAVREXBUS1_EXPORT ModbusClientExecutor : public ErrObject
{
    Q_OBJECT
    /// Attempts per task before it counts as failed.
    Q_PROPERTY(int retries READ retries WRITE setRetries NOTIFY retriesChanged)

public:
    /// Registers per read request, the protocol's limit.
    static constexpr int MaxRegistersPerRequest = ModbusProtocol::MaxRequestRegisters;
    /// Archive labels per presence request.
    static constexpr int MaxLabelsPerRequest = ModbusProtocol::MaxLabelsPerAnswer;
    /// Timer interval before the first task, in milliseconds.
    static constexpr int StartInterval = 60000;
    /// Timer interval while nothing is due, in milliseconds.
    static constexpr int IdleInterval = 10000;
    /// Queued tasks run per timer tick.
    static constexpr int BatchSlice = 2;

    /// An executor taking its tasks from taskServer.
    explicit ModbusClientExecutor(ModbusTaskServer &taskServer, QObject *parent = nullptr);
    ~ModbusClientExecutor() override;

    /// Getter of the retries property.
    int retries() const;
    /// Archive records per request.
    int maxArchRecords() const;
    /// Sets archive records per request; longer reads are split.
    Q_INVOKABLE void setMaxArchRecords(int count);
    /// The current tick interval, in milliseconds.
    int timerInterval() const;
    /// The request engine the tasks run through.
    Modbuser &modbuser();

public Q_SLOTS:
    /// Sends the requests over transport from now on.
    void setTransport(ModbusTransport *transport);
    /// Runs task now, on the executor thread.
    void executeTask(ModbusTask *task);
    /// Looks for due work at once.
    void wakeUp();
    /// Makes the executor look for due work soon; safe from any thread, and only one wake-up is in flight.
    void requestWakeUp();
    /// Stops the running task of item between its parts.
    void abortExecuting(ModbusItemBase *item);
    /// Stops the running task between its parts.
    void abortExecutingAll();
    /// Setter of the retries property.
    void setRetries(int retries);

Q_SIGNALS:
    /// The items whose task is running changed.
    void executingItemsChanged(const QList<ItemPointer> &items);
    /// A part of a split task finished.
    void taskPartialExecuted();
    /// retries changed.
    void retriesChanged(bool changed);
    /// The queue ran dry after a run of tasks: results gathered for a later delivery are due now.
    void queueDrained();

private Q_SLOTS:
    void onTimer();

private:
    bool linkConnected() const;
    ModbusTask *nextTask();
    void scheduleIdle();
    void deliver(ModbusTask *task);
    void dispatch(ModbusTask *task);
    bool checkAbort(ModbusItemBase *item);
    bool partDone(ModbusTask &task);
    void fail(ModbusTask &task);
    void fail(ModbusTask &task, const QString &message);
    void executeTaskAddressed(ModbusTaskAddressed &task);
    void executeTaskRegs(ModbusTaskAddressed &task);
    void readRegs(ModbusTaskAddressed &task);
    void writeRegs(ModbusTaskAddressed &task);
    void executeTaskReport(ModbusTask &task);
    void executeTaskFile(ModbusTaskFile &task);
    void readFile(ModbusTaskFile &task);
    void writeFile(ModbusTaskFile &task);
    void executeTaskArchRecords(ModbusTaskArchRecord65 &task);
    void executeTaskArchPresence65(ModbusTaskArchPresence65 &task);
    void executeTaskArchPresence(ModbusTaskArchPresence &task);
    bool readPresenceLabels(ModbusTaskArchPresence &task, int wanted, QList<quint32> &labels);
    bool readPresenceNeighbours(ModbusTaskArchPresence &task, QList<quint32> &labels, bool extra);

    Modbuser m_modbuser;
    QTimer m_timer;
    ModbusTaskServer &m_taskServer;
    std::atomic<bool> m_wakeUpPosted{false};
    std::atomic<int> m_maxArchRecords{1};
    QList<ModbusItemBase *> m_abortItems;
    mutable std::mutex m_abortLock;
    std::atomic<bool> m_abortRequested{false};
    std::atomic<bool> m_abortAll{false};
    std::atomic<int> m_retries{1};
};

#endif
