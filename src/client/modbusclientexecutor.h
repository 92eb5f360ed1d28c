#ifndef MODBUSCLIENTEXECUTOR_H
#define MODBUSCLIENTEXECUTOR_H

#include "errobject.h"
#include "itempointer.h"
#include "modbuser.h"
#include "modbusprotocol.h"

#include <QtCore/qlist.h>
#include <QtCore/qmutex.h>
#include <QtCore/qtimer.h>

#include <atomic>

class ModbusItemBase;
class ModbusTask;
class ModbusTaskAddressed;
class ModbusTaskArchPresence;
class ModbusTaskArchPresence65;
class ModbusTaskArchRecord65;
class ModbusTaskFile;
class ModbusTaskServer;
class ModbusTransport;

// Turns tasks into Modbus exchanges on the client's worker thread. One timer drives it: each tick
// runs the next queued task, or else the next due interval task, and returns the result to the
// task server. Requests beyond the per-request limits are split, and aborts are honoured between
// the parts.
class TAVREXBUS1_EXPORT ModbusClientExecutor : public ErrObject
{
    Q_OBJECT
    Q_PROPERTY(int retries READ retries WRITE setRetries NOTIFY retriesChanged)

public:
    static constexpr int MaxRegistersPerRequest = ModbusProtocol::MaxRequestRegisters;
    static constexpr int MaxLabelsPerRequest = ModbusProtocol::MaxLabelsPerAnswer;
    static constexpr int StartInterval = 60000;
    static constexpr int IdleInterval = 10000;
    static constexpr int BatchSlice = 2;

    explicit ModbusClientExecutor(ModbusTaskServer &taskServer, QObject *parent = nullptr);
    ~ModbusClientExecutor() override;

    int retries() const;
    int maxArchRecords() const;
    Q_INVOKABLE void setMaxArchRecords(int count);
    int timerInterval() const;
    Modbuser &modbuser();

public Q_SLOTS:
    void setTransport(ModbusTransport *transport);
    void executeTask(ModbusTask *task);
    void wakeUp();
    void abortExecuting(ModbusItemBase *item);
    void abortExecutingAll();
    void setRetries(int retries);

Q_SIGNALS:
    void executingItemsChanged(const QList<ItemPointer> &items);
    void taskPartialExecuted();
    void retriesChanged(bool changed);

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
    std::atomic<int> m_maxArchRecords{1};
    QList<ModbusItemBase *> m_abortItems;
    mutable QMutex m_abortLock;
    std::atomic<bool> m_abortRequested{false};
    std::atomic<bool> m_abortAll{false};
    std::atomic<int> m_retries{1};
};

#endif
