#include "transportlifeline_p.h"

#include "threadcall_p.h"
#include "transport.h"
#include "transporter.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

// How long a closing transport waits for leases before it runs its whileWaiting work again.
constexpr std::chrono::milliseconds WaitSlice(10);

} // namespace

TransportLifeline::TransportLifeline(Transport &transport)
    : m_transport(&transport)
{
}

std::shared_ptr<TransportLifeline> TransportLifeline::of(const Transport &transport)
{
    return transport.m_lifeline;
}

Transport *TransportLifeline::acquire()
{
    const std::lock_guard locker(m_mutex);
    if (m_transport)
        m_lessees.append(QThread::currentThreadId());
    return m_transport;
}

void TransportLifeline::release()
{
    const std::lock_guard locker(m_mutex);
    m_lessees.removeOne(QThread::currentThreadId());
    // Only a closing transport waits for leases.
    if (!m_transport)
        m_released.notify_all();
}

bool TransportLifeline::isOpen() const
{
    const std::lock_guard locker(m_mutex);
    return m_transport != nullptr;
}

bool TransportLifeline::addHolder(Transporter &holder)
{
    const std::lock_guard locker(m_mutex);
    if (!m_transport)
        return false;
    if (!m_holders.contains(&holder))
        m_holders.append(&holder);
    return true;
}

void TransportLifeline::removeHolder(Transporter &holder)
{
    const std::lock_guard locker(m_mutex);
    m_holders.removeOne(&holder);
}

// A lease of the closing thread itself belongs to a caller further up its stack: waiting for it
// would never end.
bool TransportLifeline::leasedByOtherThreads() const
{
    const Qt::HANDLE self = QThread::currentThreadId();
    return std::any_of(m_lessees.cbegin(), m_lessees.cend(), [self](Qt::HANDLE lessee) { return lessee != self; });
}

QList<Transporter *> TransportLifeline::close(const std::function<void()> &whileWaiting)
{
    std::unique_lock locker(m_mutex);
    Transport *transport = std::exchange(m_transport, nullptr);
    if (!transport)
        return {};
    while (leasedByOtherThreads()) {
        if (whileWaiting) {
            locker.unlock();
            whileWaiting();
            locker.lock();
            if (!leasedByOtherThreads())
                break;
        }
        m_released.wait_for(locker, WaitSlice);
    }
    QList<Transporter *> local;
    for (Transporter *holder : std::exchange(m_holders, {})) {
        if (holder->thread() == QThread::currentThread()) {
            local.append(holder);
            continue;
        }
        // Posted while the holder cannot finish going: its destructor needs this lock first. The
        // holder gets the address only, to know which entry to drop.
        QObject *gone = transport;
        QObject::disconnect(gone, nullptr, holder, nullptr);
        postToOwnerThread(holder, [holder, gone] { holder->onTransportDestroyed(gone); });
    }
    return local;
}

TransportLease::TransportLease(std::shared_ptr<TransportLifeline> lifeline)
    : m_lifeline(std::move(lifeline))
{
    if (m_lifeline)
        m_transport = m_lifeline->acquire();
}

TransportLease::TransportLease(TransportLease &&other) noexcept
    : m_lifeline(std::move(other.m_lifeline)),
      m_transport(std::exchange(other.m_transport, nullptr))
{
}

TransportLease &TransportLease::operator=(TransportLease &&other) noexcept
{
    if (this != &other) {
        reset();
        m_lifeline = std::move(other.m_lifeline);
        m_transport = std::exchange(other.m_transport, nullptr);
    }
    return *this;
}

TransportLease::~TransportLease()
{
    reset();
}

void TransportLease::reset()
{
    if (m_transport)
        m_lifeline->release();
    m_transport = nullptr;
    m_lifeline.reset();
}
