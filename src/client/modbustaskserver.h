#ifndef MODBUSTASKSERVER_H
#define MODBUSTASKSERVER_H

#include "errobject.h"
#include "modbustasklist.h"

#include <QtCore/qdatetime.h>
#include <QtCore/qhash.h>

#include <mutex>

class ModbusItemBase;
class ModbusTask;
class TimeProvider;

/// The thread-safe store between a client, which queues tasks and collects results on its own
/// thread, and its executor, which takes tasks and returns results on the executor thread.
/// Interval tasks are kept as templates; a copy of each is handed out whenever it falls due.
class TAVREXBUS1_EXPORT ModbusTaskServer : public ErrObject
{
    Q_OBJECT
    /// Merge neighbouring reads when building the schedule; true by default.
    Q_PROPERTY(bool useOptimization READ useOptimization WRITE setUseOptimization NOTIFY useOptimizationChanged)
    /// Registers per merged request.
    Q_PROPERTY(int maxRequestRegsCount READ maxRequestRegsCount WRITE setMaxRequestRegsCount
               NOTIFY resultTasksCountChanged)
    /// Accept and hand out tasks; true by default.
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    /// Hold every task in its queue; false by default.
    Q_PROPERTY(bool paused READ paused WRITE setPaused NOTIFY pausedChanged)
    /// Hand out periodic tasks; true by default.
    Q_PROPERTY(bool intervalReadingEnabled READ intervalReadingEnabled WRITE setIntervalReadingEnabled
               NOTIFY intervalReadingEnabledChanged)
    /// One-off tasks waiting.
    Q_PROPERTY(int queuedTasksCount READ queuedTasksCount NOTIFY queuedTasksCountChanged)
    /// Periodic task templates held.
    Q_PROPERTY(int intervalTasksCount READ intervalTasksCount NOTIFY intervalTasksCountChanged)
    /// Finished tasks not yet collected.
    Q_PROPERTY(int resultTasksCount READ resultTasksCount NOTIFY resultTasksCountChanged)
    /// Results received.
    Q_PROPERTY(quint64 executedTasksCount READ executedTasksCount NOTIFY executedTasksCountChanged)
    /// Results that failed.
    Q_PROPERTY(quint64 errorTasksCount READ errorTasksCount NOTIFY errorTasksCountChanged)
    /// Results that succeeded.
    Q_PROPERTY(quint64 goodTasksCount READ goodTasksCount NOTIFY goodTasksCountChanged)

public:
    /// An empty, enabled server.
    explicit ModbusTaskServer(QObject *parent = nullptr);
    ~ModbusTaskServer() override;

    /// Queues a one-off task and takes it over; deleted at once when disabled.
    void addQueuedTask(ModbusTask *task);
    /// Adds a periodic task template and takes it over; deleted at once when disabled.
    void addIntervalTask(ModbusTask *task);
    /// The caller owns the returned task; null when nothing is available.
    ModbusTask *getQueuedTask();
    /// A copy of the next due periodic task, owned by the caller; null when none is due, or when disabled,
    /// paused or interval reading is off.
    ModbusTask *getIntervalTask();
    /// Sets out to when the next periodic task falls due; false when none is scheduled, or when disabled or
    /// paused.
    bool getNearestTaskTime(QDateTime &out);
    /// Takes a finished task over and counts it.
    void addResult(ModbusTask *task);
    /// Moves the finished tasks (only the first unless n is -1) to out; more tells whether results remain.
    void getResults(ModbusTaskList &out, int n = -1, bool *more = nullptr);
    /// Deletes the periodic templates of item.
    void removeIntervalTasks(ModbusItemBase *item);
    /// Deletes every task and result.
    void clear();

    /// Getter of the useOptimization property.
    bool useOptimization() const;
    /// Setter of the useOptimization property.
    void setUseOptimization(bool use);
    /// Getter of the maxRequestRegsCount property.
    int maxRequestRegsCount() const;
    /// Setter of the maxRequestRegsCount property.
    void setMaxRequestRegsCount(int count);
    /// Getter of the enabled property.
    bool enabled() const;
    /// Setter of the enabled property.
    void setEnabled(bool enabled);
    /// Getter of the paused property.
    bool paused() const;
    /// Setter of the paused property.
    void setPaused(bool paused);
    /// Getter of the intervalReadingEnabled property.
    bool intervalReadingEnabled() const;
    /// Setter of the intervalReadingEnabled property.
    void setIntervalReadingEnabled(bool enabled);
    /// The clock of the schedule.
    TimeProvider *timeProvider() const;
    /// Uses provider as the clock of the schedule from now on; not owned.
    void setTimeProvider(TimeProvider &provider);

    /// Getter of the intervalTasksCount property.
    int intervalTasksCount() const;
    /// Getter of the queuedTasksCount property.
    int queuedTasksCount() const;
    /// Getter of the resultTasksCount property.
    int resultTasksCount() const;
    /// Periodic tasks in the current schedule.
    int scheduledTasksCount() const;
    /// Getter of the executedTasksCount property.
    quint64 executedTasksCount() const;
    /// Getter of the errorTasksCount property.
    quint64 errorTasksCount() const;
    /// Getter of the goodTasksCount property.
    quint64 goodTasksCount() const;

public Q_SLOTS:
    /// Rebuilds the schedule from the templates.
    void reinitIntervalTasks();
    /// Deletes every task and result of item.
    void removeTasks(ModbusItemBase *item);
    /// Deletes the queued tasks of item.
    void abortTasks(ModbusItemBase *item);
    /// Deletes every queued task.
    void abortAllTasks();

Q_SIGNALS:
    /// useOptimization changed.
    void useOptimizationChanged();
    /// maxRequestRegsCount and resultTasksCount changed.
    void resultTasksCountChanged();
    /// intervalTasksCount changed.
    void intervalTasksCountChanged();
    /// queuedTasksCount changed.
    void queuedTasksCountChanged();
    /// Work may be available; the executor wakes up on it.
    void tasksChanged();
    /// enabled changed.
    void enabledChanged();
    /// paused changed.
    void pausedChanged();
    /// executedTasksCount changed.
    void executedTasksCountChanged();
    /// errorTasksCount changed.
    void errorTasksCountChanged();
    /// goodTasksCount changed.
    void goodTasksCountChanged();
    /// intervalReadingEnabled changed to enabled.
    void intervalReadingEnabledChanged(bool enabled);

protected:
    void customEvent(QEvent *event) override;

private:
    void postReinitIntervalTasks();
    bool handingOut() const;
    QDateTime now() const;
    int removeTemplates(ModbusItemBase *item);

    ModbusTaskList m_intervalTemplates;
    // How many templates cover each item, so that an item without one costs no walk of them all.
    QHash<const ModbusItemBase *, int> m_templatesOfItem;
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
