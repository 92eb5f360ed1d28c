#include "ptybridge.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool openRawPty(int &master, int &slave, QString &name)
{
    termios raw{};
    cfmakeraw(&raw);
    char path[128] = {};
    if (openpty(&master, &slave, path, &raw, nullptr) != 0)
        return false;
    name = QString::fromLocal8Bit(path);
    return true;
}

bool writeAll(int fd, const char *data, ssize_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

PtyBridge::PtyBridge()
{
    // The slave ends stay open here too, so a port closed and reopened by a test never
    // leaves a master without a slave (which would make it fail with EIO).
    if (!openRawPty(m_masterA, m_slaveA, m_portA) || !openRawPty(m_masterB, m_slaveB, m_portB)
        || ::pipe(m_stop) != 0)
        return;
    m_thread = std::thread([this] { relay(); });
}

PtyBridge::~PtyBridge()
{
    if (m_thread.joinable()) {
        const char stop = 0;
        writeAll(m_stop[1], &stop, 1);
        m_thread.join();
    }
    for (int *fd : {&m_masterA, &m_slaveA, &m_masterB, &m_slaveB, &m_stop[0], &m_stop[1]})
        closeFd(*fd);
}

bool PtyBridge::isValid() const
{
    return m_thread.joinable();
}

QString PtyBridge::portA() const
{
    return m_portA;
}

QString PtyBridge::portB() const
{
    return m_portB;
}

void PtyBridge::relay()
{
    pollfd fds[3] = {{m_masterA, POLLIN, 0}, {m_masterB, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
    char buffer[1024];
    for (;;) {
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[2].revents)
            return;
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0)
                writeAll(fds[1 - i].fd, buffer, n);
        }
    }
}
