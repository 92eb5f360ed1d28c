#ifndef THREADCALL_P_H
#define THREADCALL_P_H

#include "tavrexbus1global.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qobject.h>
#include <QtCore/qsemaphore.h>
#include <QtCore/qthread.h>

#include <atomic>
#include <memory>
#include <utility>

// What a caller waiting for a call on another thread shares with the call it posted there. The
// call starts only while the caller still waits; a caller stops waiting only for a call that has
// ended or will never start.
class TAVREXBUS1_EXPORT ThreadCallState
{
    Q_DECLARE_TR_FUNCTIONS(ThreadCall)

public:
    enum Stage { Queued, Running, Done, Dropped, Abandoned };

    // On the target's thread: false when the caller has given up, and the call must not run.
    bool begin();
    void end();
    // The posted call is gone, run or not (its target was destroyed or its events removed); the
    // caller learns only now, so that it does not wake while this thread is still busy with it.
    void release();
    // Waits until the call has ended; gives up when thread stops before the call has begun.
    // Returns Done, Dropped or Abandoned.
    Stage wait(const QThread *thread);

    static bool isRunning(const QThread *thread);
    // Only the class is named: a dropped call's target may be gone.
    static QString failure(Stage stage, const QMetaObject &target);

private:
    // Leaving Queued is the one decision: whoever moves the stage on first decides whether the call runs.
    bool leaveQueued(Stage next);

    std::atomic<Stage> m_stage{Queued};
    QSemaphore m_ended;
};

// The caller's claim on a posted call; it lets the caller go when the posted call goes.
class ThreadCallTicket
{
public:
    explicit ThreadCallTicket(std::shared_ptr<ThreadCallState> state) : m_state(std::move(state)) {}
    ThreadCallTicket(ThreadCallTicket &&other) noexcept = default;
    ThreadCallTicket(const ThreadCallTicket &) = delete;
    ThreadCallTicket &operator=(const ThreadCallTicket &) = delete;
    ThreadCallTicket &operator=(ThreadCallTicket &&) = delete;
    ~ThreadCallTicket()
    {
        if (m_state)
            m_state->release();
    }

    template <typename Call>
    void run(Call &call)
    {
        if (m_state->begin()) {
            call();
            m_state->end();
        }
    }

private:
    std::shared_ptr<ThreadCallState> m_state;
};

// Runs call on the thread that target lives in and returns once it has run: directly when the
// caller is on that thread, otherwise as a queued call that the caller waits for. When that thread
// is not running, or stops or drops the call before it starts, call never runs: the result is false
// and error (when given) tells why. call may refer to the caller's locals.
template <typename Call>
bool callOnOwnerThread(QObject *target, Call &&call, QString *error = nullptr)
{
    const QThread *thread = target->thread();
    const QMetaObject &meta = *target->metaObject();
    if (thread == QThread::currentThread()) {
        call();
        return true;
    }
    ThreadCallState::Stage stage = ThreadCallState::Abandoned;
    if (ThreadCallState::isRunning(thread)) {
        auto state = std::make_shared<ThreadCallState>();
        QMetaObject::invokeMethod(
            target, [ticket = ThreadCallTicket(state), &call]() mutable { ticket.run(call); }, Qt::QueuedConnection);
        stage = state->wait(thread);
    }
    if (stage == ThreadCallState::Done)
        return true;
    if (error)
        *error = ThreadCallState::failure(stage, meta);
    return false;
}

// What function returns when run as callOnOwnerThread runs it; a default value when it could not run.
template <typename Function>
auto resultOnOwnerThread(QObject *target, Function &&function, QString *error = nullptr)
{
    decltype(function()) result{};
    callOnOwnerThread(target, [&] { result = function(); }, error);
    return result;
}

#endif // THREADCALL_P_H
