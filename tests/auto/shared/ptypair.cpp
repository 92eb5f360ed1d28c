#include "ptypair.h"

#include <QtCore/QElapsedTimer>

#include <cerrno>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    termios raw{};
    cfmakeraw(&raw);
    char name[128] = {};
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
        return;
    m_portName = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPair::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QByteArray PtyPair::readSome(int timeoutMs)
{
    pollfd fd{m_master, POLLIN, 0};
    if (m_master < 0 || ::poll(&fd, 1, timeoutMs) <= 0 || !(fd.revents & POLLIN))
        return {};
    char buffer[512];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, int(n)) : QByteArray();
}

QByteArray PtyPair::readExactly(int size, int timeoutMs)
{
    QByteArray bytes;
    while (bytes.size() < size) {
        const QByteArray chunk = readSome(timeoutMs);
        if (chunk.isEmpty())
            break;
        bytes += chunk;
    }
    return bytes;
}

void PtyPair::closeMaster()
{
    if (m_master < 0)
        return;
    ::close(m_master);
    m_master = -1;
}
