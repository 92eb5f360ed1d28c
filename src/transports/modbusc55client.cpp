#include "modbusc55client.h"

#include "threadcall_p.h"

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

constexpr int BufferSize = 512;

} // namespace

ModbusC55Client::ModbusC55Client(QObject *parent)
    : ModbusTransport(TavrexBus::ClientBus, parent, true)
    , m_devicePath(QStringLiteral("/dev/c55"))
{
    m_buffer.resize(BufferSize);
}

ModbusC55Client::~ModbusC55Client()
{
    stopEventReader();
    const std::lock_guard locker(*mutex());
    disconnectTransportInternal();
}

QString ModbusC55Client::devicePath() const
{
    return m_devicePath;
}

void ModbusC55Client::setDevicePath(const QString &path)
{
    if (m_devicePath == path)
        return;
    m_devicePath = path;
    emit devicePathChanged();
}

int ModbusC55Client::readTimeout() const
{
    return m_readTimeout;
}

void ModbusC55Client::setReadTimeout(int msecs)
{
    m_readTimeout = msecs;
}

int ModbusC55Client::writeTimeout() const
{
    return m_writeTimeout;
}

void ModbusC55Client::setWriteTimeout(int msecs)
{
    m_writeTimeout = msecs;
}

void ModbusC55Client::lockTransport()
{
    mutex()->lock();
    m_wasConnected = connected();
    if (m_wasConnected)
        disconnectTransportInternal();
}

void ModbusC55Client::unlockTransport()
{
    if (m_wasConnected)
        connectTransportInternal();
    m_wasConnected = false;
    mutex()->unlock();
}

ModbusTarget *ModbusC55Client::target()
{
    return &m_target;
}

Target *ModbusC55Client::clientTarget()
{
    return &m_target;
}

int ModbusC55Client::bytesAvailable(const Target *target)
{
    checkCanCountBytes(target);
    return 0;
}

QString ModbusC55Client::toString(bool oneLine) const
{
    return describe(QStringLiteral("Modbus C55 transport"),
                    QStringLiteral("target: %1\ntimeouts:  (read: %2; write: %3)\n")
                        .arg(m_target.toString(oneLine))
                        .arg(readTimeout())
                        .arg(writeTimeout()),
                    oneLine);
}

#ifdef Q_OS_LINUX

bool ModbusC55Client::connectTransportInternal()
{
    const std::lock_guard locker(*mutex());
    const QByteArray path = m_devicePath.toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        setConnectError(tr("error opening c55 device %1: %2")
                            .arg(m_devicePath, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    // A facility that presents itself as a terminal must pass bytes through untouched.
    termios mode{};
    if (::tcgetattr(fd, &mode) == 0) {
        ::cfmakeraw(&mode);
        ::tcsetattr(fd, TCSANOW, &mode);
    }
    m_fd = fd;
    m_pendingEvents.clear();
    return true;
}

bool ModbusC55Client::disconnectTransportInternal()
{
    const std::lock_guard locker(*mutex());
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    return true;
}

bool ModbusC55Client::sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                                QString *error)
{
    std::unique_lock locker(*mutex());
    if (!checkCanSendBytes(target, error))
        return false;
    m_pendingEvents.append(readPending(0));
    if (!writeAll(bytes)) {
        setErrorString(tr("error write data"), error);
        // Closed on the owner thread, and reopened there when autoReconnect asks for it.
        if (QThread::currentThread() == thread())
            autoDisconnect();
        else
            postToOwnerThread(this, [this] { autoDisconnect(); });
        return false;
    }
    if (!answer)
        return true;
    const QByteArray reply = readPending(m_readTimeout);
    if (reply.isEmpty()) {
        setErrorString(tr("received 0 bytes answer"), error);
        return false;
    }
    *answer = ModbusBytes(reply);
    locker.unlock();
    emit bytesReceived(*answer, target);
    return true;
}

bool ModbusC55Client::readEventBytes(ModbusBytes &bytes, QString *error)
{
    const std::lock_guard locker(*mutex());
    if (!connected() || m_fd < 0) {
        setErrorString(tr("can't receive events via disconnected transport"), error);
        return false;
    }
    m_pendingEvents.append(readPending(0));
    if (m_pendingEvents.isEmpty())
        return false;
    bytes.append(m_pendingEvents);
    m_pendingEvents.clear();
    return true;
}

bool ModbusC55Client::writeAll(const ModbusBytes &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        pollfd fd{m_fd, POLLOUT, 0};
        if (::poll(&fd, 1, qMax(1, int(m_writeTimeout))) <= 0 || (fd.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return false;
        const ssize_t n = ::write(m_fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        written += qMax<ssize_t>(n, 0);
    }
    return true;
}

QByteArray ModbusC55Client::readPending(int timeout)
{
    pollfd fd{m_fd, POLLIN, 0};
    if (m_fd < 0 || ::poll(&fd, 1, qMax(0, timeout)) <= 0 || !(fd.revents & POLLIN))
        return QByteArray();
    const ssize_t n = ::read(m_fd, m_buffer.data(), size_t(m_buffer.size()));
    return n > 0 ? QByteArray(m_buffer.constData(), n) : QByteArray();
}

#else

bool ModbusC55Client::connectTransportInternal()
{
    setConnectError(tr("the c55-transport is available only on linux platform"));
    return false;
}

bool ModbusC55Client::disconnectTransportInternal()
{
    return true;
}

bool ModbusC55Client::sendBytes(const ModbusBytes &, const Target *target, ModbusBytes *, QString *error)
{
    const std::lock_guard locker(*mutex());
    return checkCanSendBytes(target, error);
}

bool ModbusC55Client::readEventBytes(ModbusBytes &, QString *error)
{
    setErrorString(tr("can't receive events via disconnected transport"), error);
    return false;
}

bool ModbusC55Client::writeAll(const ModbusBytes &)
{
    return false;
}

QByteArray ModbusC55Client::readPending(int)
{
    return QByteArray();
}

#endif
