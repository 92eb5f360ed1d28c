#include "threadcall_p.h"

#include <chrono>

namespace {

// How soon a waiting caller notices that the target's thread has stopped.
constexpr std::chrono::milliseconds StopCheckInterval(10);

} // namespace

bool ThreadCallState::begin()
{
    const std::lock_guard locker(m_mutex);
    if (m_stage != Queued)
        return false;
    m_stage = Running;
    return true;
}

void ThreadCallState::end()
{
    {
        const std::lock_guard locker(m_mutex);
        m_stage = Done;
    }
    m_changed.notify_all();
}

void ThreadCallState::drop()
{
    {
        const std::lock_guard locker(m_mutex);
        if (m_stage != Queued)
            return;
        m_stage = Dropped;
    }
    m_changed.notify_all();
}

// A thread that stops leaves the posted call in its queue: only a call that has begun is sure to end.
ThreadCallState::Stage ThreadCallState::wait(const QThread *thread)
{
    std::unique_lock locker(m_mutex);
    for (;;) {
        if (m_stage == Done || m_stage == Dropped)
            return m_stage;
        if (m_stage == Queued && !isRunning(thread)) {
            m_stage = Abandoned;
            return m_stage;
        }
        m_changed.wait_for(locker, StopCheckInterval);
    }
}

// A thread that is finishing no longer delivers posted calls; isRunning() is false by then.
bool ThreadCallState::isRunning(const QThread *thread)
{
    return thread && thread->isRunning();
}

QString ThreadCallState::failure(Stage stage, const QMetaObject &target)
{
    const QString name = QString::fromLatin1(target.className());
    if (stage == Dropped)
        return tr("the call to %1 was dropped before it ran").arg(name);
    return tr("the thread of %1 is not running").arg(name);
}
