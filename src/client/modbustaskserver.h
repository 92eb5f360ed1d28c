#ifndef MODBUSTASKSERVER_H
#define MODBUSTASKSERVER_H

#include "errobject.h"
#include "modbustasklist.h"

#include <QtCore/qdatetime.h>

#include <mutex>

class ModbusItemBase;
class ModbusTask;
class TimeProvider;

// The thread-safe store between a client, which queues tasks and collects results on its own
// thread, and its executor, which takes tasks and returns results on the executor thread.
// Interval tasks are kept as templates; a copy of each is handed out whenever it falls due.
class TAVREXBUS1_EXPORT ModbusTaskServer : public ErrObject
{
    Q_OBJECT
    Q_PROPERTY(bool useOptimization READ useOptimization WRITE setUseOptimization NOTIFY useOptimizationChanged)
    Q_PROPERTY(int maxRequestRegsCount READ maxRequestRegsCount WRITE setMaxRequestRegsCount
               NOTIFY resultTasksCountChanged)
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    Q_PROPERTY(bool paused READ paused WRITE setPaused NOTIFY pausedChanged)
    Q_PROPERTY(bool intervalReadingEnabled READ intervalReadingEnabled WRITE setIntervalReadingEnabled
               NOTIFY intervalReadingEnabledChanged)
    Q_PROPERTY(int queuedTasksCount READ queuedTasksCount NOTIFY queuedTasksCountChanged)
    Q_PROPERTY(int intervalTasksCount READ intervalTasksCount NOTIFY intervalTasksCountChanged)
    Q_PROPERTY(int resultTasksCount READ resultTasksCount NOTIFY resultTasksCountChanged)
    Q_PROPERTY(quint64 executedTasksCount READ executedTasksCount NOTIFY executedTasksCountChanged)
    Q_PROPERTY(quint64 errorTasksCount READ errorTasksCount NOTIFY errorTasksCountChanged)
    Q_PROPERTY(quint64 goodTasksCount READ goodTasksCount NOTIFY goodTasksCountChanged)

public:
    explicit ModbusTaskServer(QObject *parent = nullptr);
    ~ModbusTaskServer() override;

    void addQueuedTask(ModbusTask *task);
    void addIntervalTask(ModbusTask *task);
    // The caller owns the returned task; null when nothing is available.
    ModbusTask *getQueuedTask();
    ModbusTask *getIntervalTask();
    bool getNearestTaskTime(QDateTime &out);
    void addResult(ModbusTask *task);
    void getResults(ModbusTaskList &out, int n = -1, bool *more = nullptr);
    void removeIntervalTasks(ModbusItemBase *item);
    void clear();

    bool useOptimization() const;
    void setUseOptimization(bool use);
    int maxRequestRegsCount() const;
    void setMaxRequestRegsCount(int count);
    bool enabled() const;
    void setEnabled(bool enabled);
    bool paused() const;
    void setPaused(bool paused);
    bool intervalReadingEnabled() const;
    void setIntervalReadingEnabled(bool enabled);
    TimeProvider *timeProvider() const;
    void setTimeProvider(TimeProvider &provider);

    int intervalTasksCount() const;
    int queuedTasksCount() const;
    int resultTasksCount() const;
    int scheduledTasksCount() const;
    quint64 executedTasksCount() const;
    quint64 errorTasksCount() const;
    quint64 goodTasksCount() const;

public Q_SLOTS:
    void reinitIntervalTasks();
    void removeTasks(ModbusItemBase *item);
    void abortTasks(ModbusItemBase *item);
    void abortAllTasks();

Q_SIGNALS:
    void useOptimizationChanged();
    void resultTasksCountChanged();
    void intervalTasksCountChanged();
    void queuedTasksCountChanged();
    void tasksChanged();
    void enabledChanged();
    void pausedChanged();
    void executedTasksCountChanged();
    void errorTasksCountChanged();
    void goodTasksCountChanged();
    void intervalReadingEnabledChanged(bool enabled);

protected:
    void customEvent(QEvent *event) override;

private:
    void postReinitIntervalTasks();
    bool handingOut() const;
    QDateTime now() const;

    ModbusTaskList m_intervalTemplates;
    ModbusTaskList m_queue;
    ModbusTaskList m_results;
    bool m_useOptimization = true;
    int m_maxRequestRegsCount = 32;
    int m_cursor = 0;
    // The standard mutex keeps the locking visible to thread checkers, which do not see into Qt.
    mutable std::recursive_mutex m_lock;
    bool m_paused = false;
    bool m_enabled = true;
    quint64 m_executedTasksCount = 0;
    quint64 m_errorTasksCount = 0;
    quint64 m_goodTasksCount = 0;
    ModbusTaskList m_schedule;
    TimeProvider *m_timeProvider = nullptr;
    bool m_intervalReadingEnabled = true;
};

#endif
