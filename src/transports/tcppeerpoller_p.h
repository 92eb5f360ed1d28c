#ifndef TCPPEERPOLLER_P_H
#define TCPPEERPOLLER_P_H

#include <functional>

class QObject;
class QSocketNotifier;

// Watches the sockets of many peers through one descriptor of the event loop (an epoll set), so
// that a wakeup costs as little beside a thousand idle peers as beside one; the event loop itself
// would look at every watched socket each time. Level-triggered: a socket that stays ready is
// reported again on the next round. Lives on the thread of its owner.
class TcpPeerPoller
{
public:
    enum Interest { Read = 0x1, Write = 0x2 };
    // A socket that failed or hung up is reported readable and writable, so that the next read or
    // write tells what happened.
    using Handler = std::function<void(int fd, bool readable, bool writable)>;

    TcpPeerPoller(QObject *owner, Handler handler);
    ~TcpPeerPoller();
    TcpPeerPoller(const TcpPeerPoller &) = delete;
    TcpPeerPoller &operator=(const TcpPeerPoller &) = delete;

    // False when the set could not be made; error() tells why (an errno value).
    bool isValid() const;
    int error() const;
    bool add(int fd, int interests);
    bool modify(int fd, int interests);
    void remove(int fd);

private:
    void dispatch();

    int m_epoll = -1;
    int m_error = 0;
    QSocketNotifier *m_notifier = nullptr;
    Handler m_handler;
};

#endif // TCPPEERPOLLER_P_H
