#ifndef THREADCALL_P_H
#define THREADCALL_P_H

#include "tavrexbus1global.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qobject.h>
#include <QtCore/qsemaphore.h>
#include <QtCore/qthread.h>

#include <atomic>
#include <memory>
#include <type_traits>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#define TAVREX_THREAD_SANITIZER
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TAVREX_THREAD_SANITIZER
#endif
#endif
#ifdef TAVREX_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

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

    // Qt's event queue is not instrumented, so a thread checker does not see that a posted call
    // starts only after it was posted: the poster tells it, and the receiving thread asks before
    // it touches the call.
    static void posting(const QThread *to)
    {
#ifdef TAVREX_THREAD_SANITIZER
        __tsan_release(const_cast<QThread *>(to));
#else
        Q_UNUSED(to);
#endif
    }
    static void arriving()
    {
#ifdef TAVREX_THREAD_SANITIZER
        __tsan_acquire(QThread::currentThread());
#endif
    }
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

// A call on its way to another thread. Its last move is into Qt's copy of the posted functor, the
// last write before the call is posted: that is where the thread checker is told.
template <typename Call>
class PostedCall
{
public:
    PostedCall(const QThread *to, Call call) : m_to(to), m_call(std::move(call)) {}
    PostedCall(PostedCall &&other) noexcept : m_to(other.m_to), m_call(std::move(other.m_call))
    {
        ThreadCallState::posting(m_to);
    }
    PostedCall(const PostedCall &) = delete;
    PostedCall &operator=(const PostedCall &) = delete;
    PostedCall &operator=(PostedCall &&) = delete;
    // Also a call dropped unrun goes on the receiving thread, or on the poster's if it never left.
    ~PostedCall() { ThreadCallState::arriving(); }

    void operator()()
    {
        ThreadCallState::arriving();
        m_call();
    }

private:
    const QThread *m_to;
    Call m_call;
};

// Runs call on the thread that target lives in once that thread's event loop gets to it, or never
// when target goes first; returns at once. call must not refer to the caller's locals.
template <typename Call>
void postToOwnerThread(QObject *target, Call &&call)
{
    QMetaObject::invokeMethod(target, PostedCall<std::decay_t<Call>>(target->thread(), std::forward<Call>(call)),
                              Qt::QueuedConnection);
}

// Emits signal of sender on sender's thread: at once when the caller is there, otherwise posted
// with copies of args, where a thread checker sees the hand-off that a queued connection hides.
template <typename Sender, typename Object, typename... Params, typename... Args>
void emitOnOwnerThread(Sender *sender, void (Object::*signal)(Params...), const Args &...args)
{
    if (QThread::currentThread() == sender->thread())
        (sender->*signal)(args...);
    else
        postToOwnerThread(sender, [sender, signal, args...] { (sender->*signal)(args...); });
}

// Runs call on the thread that target lives in and returns once it has run: directly when the
// caller is on that thread, otherwise as a queued call that the caller waits for. When that thread
// is not running, or stops or drops the call before it starts, call never runs: the result is false
// and error (when given) tells why. call may refer to the caller's locals.
template <typename Target, typename Call>
bool callOnOwnerThread(Target *target, Call &&call, QString *error = nullptr)
{
    const QThread *thread = target->thread();
    // Not target->metaObject(): target may be going on its own thread meanwhile.
    const QMetaObject &meta = std::remove_const_t<Target>::staticMetaObject;
    if (thread == QThread::currentThread()) {
        call();
        return true;
    }
    ThreadCallState::Stage stage = ThreadCallState::Abandoned;
    if (ThreadCallState::isRunning(thread)) {
        auto state = std::make_shared<ThreadCallState>();
        postToOwnerThread(target, [ticket = ThreadCallTicket(state), &call]() mutable { ticket.run(call); });
        stage = state->wait(thread);
    }
    if (stage == ThreadCallState::Done)
        return true;
    if (error)
        *error = ThreadCallState::failure(stage, meta);
    return false;
}

// What function returns when run as callOnOwnerThread runs it; a default value when it could not run.
template <typename Target, typename Function>
auto resultOnOwnerThread(Target *target, Function &&function, QString *error = nullptr)
{
    decltype(function()) result{};
    callOnOwnerThread(target, [&] { result = function(); }, error);
    return result;
}

#endif // THREADCALL_P_H
