#include "tcppeerpoller_p.h"

#include <QtCore/QSocketNotifier>

#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Ready sockets taken per wakeup; more are reported on the next one.
constexpr int EventsPerWakeup = 64;

epoll_event eventFor(int fd, int interests)
{
    epoll_event event = {};
    event.data.fd = fd;
    if (interests & TcpPeerPoller::Read)
        event.events |= EPOLLIN;
    if (interests & TcpPeerPoller::Write)
        event.events |= EPOLLOUT;
    return event;
}

} // namespace

TcpPeerPoller::TcpPeerPoller(QObject *owner, Handler handler)
    : m_epoll(epoll_create1(EPOLL_CLOEXEC))
    , m_handler(std::move(handler))
{
    if (m_epoll < 0) {
        m_error = errno;
        return;
    }
    m_notifier = new QSocketNotifier(m_epoll, QSocketNotifier::Read, owner);
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { dispatch(); });
}

TcpPeerPoller::~TcpPeerPoller()
{
    delete m_notifier;
    if (m_epoll >= 0)
        close(m_epoll);
}

bool TcpPeerPoller::isValid() const
{
    return m_epoll >= 0;
}

int TcpPeerPoller::error() const
{
    return m_error;
}

bool TcpPeerPoller::add(int fd, int interests)
{
    epoll_event event = eventFor(fd, interests);
    return isValid() && epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event) == 0;
}

bool TcpPeerPoller::modify(int fd, int interests)
{
    epoll_event event = eventFor(fd, interests);
    return isValid() && epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event) == 0;
}

void TcpPeerPoller::remove(int fd)
{
    if (isValid())
        epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
}

void TcpPeerPoller::dispatch()
{
    epoll_event events[EventsPerWakeup];
    int count;
    do {
        count = epoll_wait(m_epoll, events, EventsPerWakeup, 0);
    } while (count < 0 && errno == EINTR);
    // A handler may close a socket reported later in this round; the caller ignores descriptors
    // it no longer knows.
    for (int i = 0; i < count; ++i) {
        const bool failed = events[i].events & (EPOLLERR | EPOLLHUP);
        m_handler(events[i].data.fd, failed || (events[i].events & EPOLLIN), failed || (events[i].events & EPOLLOUT));
    }
}
