#include "threadcall_p.h"

namespace {

// How soon, in milliseconds, a waiting caller notices that the target's thread has stopped.
constexpr int StopCheckInterval = 10;

} // namespace

bool ThreadCallState::leaveQueued(Stage next)
{
    Stage expected = Queued;
    return m_stage.compare_exchange_strong(expected, next);
}

bool ThreadCallState::begin()
{
    return leaveQueued(Running);
}

void ThreadCallState::end()
{
    m_stage = Done;
}

void ThreadCallState::release()
{
    if (m_stage == Done || leaveQueued(Dropped))
        m_ended.release();
}

// A thread that stops leaves the posted call in its queue: only a call that has begun is sure to end.
ThreadCallState::Stage ThreadCallState::wait(const QThread *thread)
{
    while (!m_ended.tryAcquire(1, StopCheckInterval)) {
        if (!isRunning(thread) && leaveQueued(Abandoned))
            return Abandoned;
    }
    return m_stage;
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
