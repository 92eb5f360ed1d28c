#include "modbustaskserver.h"

#include "modbusitembase.h"
#include "modbustask.h"
#include "timeprovider.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qcoreevent.h>

namespace {

// Any number of template changes within one event-loop turn rebuild the schedule once.
constexpr QEvent::Type ReinitEvent = QEvent::User;

} // namespace

ModbusTaskServer::ModbusTaskServer(QObject *parent)
    : ErrObject(parent),
      m_timeProvider(new TimeProvider(this))
{
}

ModbusTaskServer::~ModbusTaskServer()
{
    const std::lock_guard locker(m_lock);
    m_results.clearWithDelete();
    m_queue.clearWithDelete();
    m_intervalTemplates.clearWithDelete();
    m_schedule.clearWithDelete();
}

bool ModbusTaskServer::handingOut() const
{
    return m_enabled && !m_paused;
}

QDateTime ModbusTaskServer::now() const
{
    return m_timeProvider->currentDateTime();
}

void ModbusTaskServer::addQueuedTask(ModbusTask *task)
{
    {
        const std::lock_guard locker(m_lock);
        if (!m_enabled) {
            delete task;
            return;
        }
        m_queue.append(task);
    }
    emit queuedTasksCountChanged();
    emit tasksChanged();
}

void ModbusTaskServer::addIntervalTask(ModbusTask *task)
{
    {
        const std::lock_guard locker(m_lock);
        if (!m_enabled) {
            delete task;
            return;
        }
        m_intervalTemplates.append(task);
        for (const ItemPointer &item : task->dataList().getItems())
            ++m_templatesOfItem[item.data()];
    }
    postReinitIntervalTasks();
    emit intervalTasksCountChanged();
}

ModbusTask *ModbusTaskServer::getQueuedTask()
{
    ModbusTask *task = nullptr;
    {
        const std::lock_guard locker(m_lock);
        if (!handingOut() || m_queue.isEmpty())
            return nullptr;
        task = m_queue.takeFirst();
    }
    emit queuedTasksCountChanged();
    return task;
}

ModbusTask *ModbusTaskServer::getIntervalTask()
{
    const std::lock_guard locker(m_lock);
    if (!handingOut() || !m_intervalReadingEnabled || m_schedule.isEmpty())
        return nullptr;
    if (m_cursor >= m_schedule.size())
        m_cursor = 0;
    const int start = m_cursor;
    // One reading of the clock serves the whole walk: a long schedule would otherwise ask it per entry.
    const QDateTime current = now();
    do {
        ModbusTask *entry = m_schedule.at(m_cursor);
        m_cursor = (m_cursor + 1) % m_schedule.size();
        // A clock set back would otherwise hold the entry until it catches up again.
        if (current >= entry->nextProcessTime() || current < entry->lastProcessTime()) {
            ModbusTask *due = entry->clone();
            entry->setLastProcessTime(current);
            return due;
        }
    } while (m_cursor != start);
    return nullptr;
}

bool ModbusTaskServer::getNearestTaskTime(QDateTime &out)
{
    const std::lock_guard locker(m_lock);
    if (!handingOut() || m_schedule.isEmpty())
        return false;
    QDateTime nearest = m_schedule.first()->nextProcessTime();
    for (const ModbusTask *entry : std::as_const(m_schedule))
        nearest = qMin(nearest, entry->nextProcessTime());
    out = nearest;
    return true;
}

void ModbusTaskServer::addResult(ModbusTask *task)
{
    bool good = false;
    bool failed = false;
    {
        const std::lock_guard locker(m_lock);
        if (!m_enabled) {
            delete task;
            return;
        }
        ++m_executedTasksCount;
        good = task->state() == TavrexBus::TaskDone;
        failed = task->state() == TavrexBus::TaskFailed;
        m_goodTasksCount += good;
        m_errorTasksCount += failed;
        m_results.append(task);
    }
    emit executedTasksCountChanged();
    if (good)
        emit goodTasksCountChanged();
    if (failed)
        emit errorTasksCountChanged();
    emit resultTasksCountChanged();
}

void ModbusTaskServer::getResults(ModbusTaskList &out, int n, bool *more)
{
    const std::lock_guard locker(m_lock);
    if (n == -1) {
        out.append(m_results);
        m_results.clear();
    } else if (!m_results.isEmpty()) {
        out.append(m_results.takeFirst());
    }
    if (more)
        *more = !m_results.isEmpty();
}

void ModbusTaskServer::removeIntervalTasks(ModbusItemBase *item)
{
    int removed = 0;
    {
        const std::lock_guard locker(m_lock);
        removed = removeTemplates(item);
    }
    if (removed) {
        postReinitIntervalTasks();
        emit intervalTasksCountChanged();
    }
}

// Callers hold the lock. Thousands of items each set up or let go of their template one by one: a
// walk of every template for each would take seconds. A gone item (null) is looked for everywhere.
int ModbusTaskServer::removeTemplates(ModbusItemBase *item)
{
    const auto counted = m_templatesOfItem.find(item);
    if (item && counted == m_templatesOfItem.end())
        return 0;
    const int removed = m_intervalTemplates.removeWithDelete(item);
    if (counted != m_templatesOfItem.end() && (*counted -= removed) <= 0)
        m_templatesOfItem.erase(counted);
    return removed;
}

void ModbusTaskServer::removeTasks(ModbusItemBase *item)
{
    int removedResults = 0;
    int removedQueued = 0;
    int removedTemplates = 0;
    {
        const std::lock_guard locker(m_lock);
        removedResults = m_results.removeWithDelete(item);
        removedQueued = m_queue.removeWithDelete(item);
        removedTemplates = removeTemplates(item);
    }
    postReinitIntervalTasks();
    if (removedResults)
        emit resultTasksCountChanged();
    if (removedQueued)
        emit queuedTasksCountChanged();
    if (removedTemplates)
        emit intervalTasksCountChanged();
}

void ModbusTaskServer::abortTasks(ModbusItemBase *item)
{
    int removed = 0;
    {
        const std::lock_guard locker(m_lock);
        removed = m_queue.removeWithDelete(item);
    }
    if (removed)
        emit queuedTasksCountChanged();
}

void ModbusTaskServer::abortAllTasks()
{
    {
        const std::lock_guard locker(m_lock);
        m_queue.clearWithDelete();
    }
    postReinitIntervalTasks();
    emit queuedTasksCountChanged();
}

void ModbusTaskServer::clear()
{
    {
        const std::lock_guard locker(m_lock);
        m_results.clearWithDelete();
        m_queue.clearWithDelete();
        m_intervalTemplates.clearWithDelete();
        m_templatesOfItem.clear();
    }
    postReinitIntervalTasks();
    emit resultTasksCountChanged();
    emit queuedTasksCountChanged();
    emit intervalTasksCountChanged();
}

void ModbusTaskServer::postReinitIntervalTasks()
{
    QCoreApplication::postEvent(this, new QEvent(ReinitEvent), Qt::LowEventPriority);
}

void ModbusTaskServer::customEvent(QEvent *event)
{
    if (event->type() != ReinitEvent) {
        ErrObject::customEvent(event);
        return;
    }
    QCoreApplication::removePostedEvents(this, ReinitEvent);
    reinitIntervalTasks();
}

void ModbusTaskServer::reinitIntervalTasks()
{
    {
        const std::lock_guard locker(m_lock);
        m_schedule.clearWithDelete();
        m_cursor = 0;
        for (int interval : m_intervalTemplates.intervals()) {
            if (interval > 0)
                m_schedule.append(ModbusTaskList::fromOtherByInterval(m_intervalTemplates, interval).clone());
        }
    }
    emit tasksChanged();
}

bool ModbusTaskServer::useOptimization() const
{
    const std::lock_guard locker(m_lock);
    return m_useOptimization;
}

void ModbusTaskServer::setUseOptimization(bool use)
{
    {
        const std::lock_guard locker(m_lock);
        if (use == m_useOptimization)
            return;
        m_useOptimization = use;
    }
    postReinitIntervalTasks();
    emit useOptimizationChanged();
}

int ModbusTaskServer::maxRequestRegsCount() const
{
    const std::lock_guard locker(m_lock);
    return m_maxRequestRegsCount;
}

void ModbusTaskServer::setMaxRequestRegsCount(int count)
{
    {
        const std::lock_guard locker(m_lock);
        if (count == m_maxRequestRegsCount)
            return;
        m_maxRequestRegsCount = count;
    }
    postReinitIntervalTasks();
    emit resultTasksCountChanged();
}

bool ModbusTaskServer::enabled() const
{
    const std::lock_guard locker(m_lock);
    return m_enabled;
}

void ModbusTaskServer::setEnabled(bool enabled)
{
    {
        const std::lock_guard locker(m_lock);
        if (enabled == m_enabled)
            return;
        m_enabled = enabled;
    }
    emit enabledChanged();
    if (enabled)
        emit tasksChanged();
}

bool ModbusTaskServer::paused() const
{
    const std::lock_guard locker(m_lock);
    return m_paused;
}

void ModbusTaskServer::setPaused(bool paused)
{
    {
        const std::lock_guard locker(m_lock);
        if (paused == m_paused)
            return;
        m_paused = paused;
    }
    emit pausedChanged();
    if (!paused)
        emit tasksChanged();
}

bool ModbusTaskServer::intervalReadingEnabled() const
{
    const std::lock_guard locker(m_lock);
    return m_intervalReadingEnabled;
}

void ModbusTaskServer::setIntervalReadingEnabled(bool enabled)
{
    {
        const std::lock_guard locker(m_lock);
        if (enabled == m_intervalReadingEnabled)
            return;
        m_intervalReadingEnabled = enabled;
    }
    emit intervalReadingEnabledChanged(enabled);
    emit tasksChanged();
}

TimeProvider *ModbusTaskServer::timeProvider() const
{
    const std::lock_guard locker(m_lock);
    return m_timeProvider;
}

void ModbusTaskServer::setTimeProvider(TimeProvider &provider)
{
    const std::lock_guard locker(m_lock);
    m_timeProvider = &provider;
}

int ModbusTaskServer::intervalTasksCount() const
{
    const std::lock_guard locker(m_lock);
    return int(m_intervalTemplates.size());
}

int ModbusTaskServer::queuedTasksCount() const
{
    const std::lock_guard locker(m_lock);
    return int(m_queue.size());
}

int ModbusTaskServer::resultTasksCount() const
{
    const std::lock_guard locker(m_lock);
    return int(m_results.size());
}

int ModbusTaskServer::scheduledTasksCount() const
{
    const std::lock_guard locker(m_lock);
    return int(m_schedule.size());
}

quint64 ModbusTaskServer::executedTasksCount() const
{
    const std::lock_guard locker(m_lock);
    return m_executedTasksCount;
}

quint64 ModbusTaskServer::errorTasksCount() const
{
    const std::lock_guard locker(m_lock);
    return m_errorTasksCount;
}

quint64 ModbusTaskServer::goodTasksCount() const
{
    const std::lock_guard locker(m_lock);
    return m_goodTasksCount;
}
