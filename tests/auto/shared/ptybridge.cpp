#include "ptybridge.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

PtyBridge::PtyBridge()
{
    if (m_a.isValid() && m_b.isValid() && ::pipe(m_stop) == 0)
        m_thread = std::thread([this] { relay(); });
}

PtyBridge::~PtyBridge()
{
    if (m_thread.joinable()) {
        while (::write(m_stop[1], "", 1) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    for (int fd : m_stop) {
        if (fd >= 0)
            ::close(fd);
    }
}

void PtyBridge::relay()
{
    pollfd fds[3] = {{m_a.masterFd(), POLLIN, 0}, {m_b.masterFd(), POLLIN, 0}, {m_stop[0], POLLIN, 0}};
    PtyPair *ends[2] = {&m_a, &m_b};
    for (;;) {
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[2].revents)
            return;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents & POLLIN)
                ends[1 - i]->write(ends[i]->readSome(0));
        }
    }
}
