#ifndef TRANSPORTLIFELINE_P_H
#define TRANSPORTLIFELINE_P_H

#include <QtCore/qlist.h>
#include <QtCore/qthread.h>
#include <QtCore/qvarlengtharray.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class Transport;
class Transporter;

// The part of a transport that outlives it. A transport is used from threads other than its
// own (the client executor sends through a transport of the QML thread), while only its own
// thread destroys it. Those threads reach it through a lease taken here; the transport's
// destructor closes the lifeline before any of its parts go, waits until the leases of other
// threads have ended and tells every transporter that lists it.
class TransportLifeline
{
public:
    explicit TransportLifeline(Transport &transport);

    static std::shared_ptr<TransportLifeline> of(const Transport &transport);

    // The transport, or null once closed; a transport handed out must be given back by release().
    Transport *acquire();
    void release();
    bool isOpen() const;

    // A transporter that lists the transport is told when it goes; false once closed.
    bool addHolder(Transporter &holder);
    void removeHolder(Transporter &holder);

    // No new lease after this. Leases of other threads are waited for; whileWaiting runs between
    // waits for a transport whose exchanges need the closing thread. Holders on other threads are
    // told through their event loop; those of this thread are returned, to be told while the
    // transport is still whole.
    QList<Transporter *> close(const std::function<void()> &whileWaiting);

private:
    bool leasedByOtherThreads() const;

    // Standard primitives, so that thread checkers see the waits (Qt's own are not instrumented).
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    Transport *m_transport;
    QVarLengthArray<Qt::HANDLE, 4> m_lessees;
    QList<Transporter *> m_holders;
};

// Keeps a transport from being destroyed on its thread while held; empty when the transport has
// already gone. A lease stays on the thread that took it.
class TransportLease
{
public:
    TransportLease() = default;
    explicit TransportLease(std::shared_ptr<TransportLifeline> lifeline);
    TransportLease(TransportLease &&other) noexcept;
    TransportLease &operator=(TransportLease &&other) noexcept;
    TransportLease(const TransportLease &) = delete;
    TransportLease &operator=(const TransportLease &) = delete;
    ~TransportLease();

    Transport *transport() const { return m_transport; }
    explicit operator bool() const { return m_transport != nullptr; }

private:
    void reset();

    std::shared_ptr<TransportLifeline> m_lifeline;
    Transport *m_transport = nullptr;
};

#endif
