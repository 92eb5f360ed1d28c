#include "ptydevicenode.h"

#include <TavrexBus1/modbusrtudeparser.h>
#include <TavrexBus1/modbusrtuparser.h>

#include <QtCore/QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int ClientWatchInterval = 20;
constexpr int RequestGap = 3;

} // namespace

PtyDeviceNode::PtyDeviceNode(QObject *parent)
    : ModbusTransport(TavrexBus::ServerBus, parent, false)
{
    m_clientWatch.setInterval(ClientWatchInterval);
    connect(&m_clientWatch, &QTimer::timeout, this, &PtyDeviceNode::watchClient);
    m_requestGap.setSingleShot(true);
    m_requestGap.setInterval(RequestGap);
    connect(&m_requestGap, &QTimer::timeout, this, &PtyDeviceNode::onRequestComplete);
}

PtyDeviceNode::~PtyDeviceNode()
{
    disconnectTransportInternal();
}

QString PtyDeviceNode::devicePath() const
{
    return m_devicePath;
}

bool PtyDeviceNode::deviceOpen() const
{
    return m_deviceOpen;
}

ModbusTarget *PtyDeviceNode::target()
{
    return &m_target;
}

bool PtyDeviceNode::hasTarget(const Target *target)
{
    return target == &m_target;
}

int PtyDeviceNode::targetsCount() const
{
    return 1;
}

// What the client has written and no request has taken yet.
int PtyDeviceNode::bytesAvailable(const Target *target)
{
    int unread = 0;
    if (!hasTarget(target) || !m_deviceOpen || ::ioctl(m_master, FIONREAD, &unread) != 0)
        unread = 0;
    return int(m_request.size()) + unread;
}

bool PtyDeviceNode::sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *, QString *error)
{
    if (!checkCanSendBytes(target, error))
        return false;
    if (!m_deviceOpen || !writeAll(bytes)) {
        setErrorString(tr("no client has the device open"), error);
        return false;
    }
    return true;
}

bool PtyDeviceNode::sendEventBytes(const ModbusBytes &bytes, const Target *target)
{
    const ModbusBytes frame = EventedTransport::frameEventRecord(bytes);
    if (!checkCanSendBytes(target, nullptr))
        return false;
    if (frame.isEmpty() || !m_deviceOpen) {
        setErrorString(frame.isEmpty() ? tr("event record too long: %1 bytes").arg(bytes.size())
                                       : tr("no client has the device open"));
        return false;
    }
    m_pendingEvents.append(frame);
    // A request already on its way is answered first, and its answer must come out alone.
    onReadable();
    if (m_request.isEmpty())
        flushEvents();
    return true;
}

ModbusParser *PtyDeviceNode::createParser(QObject *parent)
{
    return new ModbusRTUParser(parent);
}

ModbusDeparser *PtyDeviceNode::createDeparser(QObject *parent)
{
    return new ModbusRTUDeparser(parent);
}

QString PtyDeviceNode::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("pseudo-terminal device: %1\n").arg(m_devicePath), oneLine);
}

bool PtyDeviceNode::connectTransportInternal()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const char *slave = master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 ? ::ptsname(master) : nullptr;
    if (!slave) {
        setConnectError(tr("can't create the device node: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        if (master >= 0)
            ::close(master);
        return false;
    }
    termios mode{};
    if (::tcgetattr(master, &mode) == 0) {
        ::cfmakeraw(&mode);
        ::tcsetattr(master, TCSANOW, &mode);
    }
    // Opened and closed once, our side shows a hang-up until a client opens the node.
    const int probe = ::open(slave, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe >= 0)
        ::close(probe);
    m_master = master;
    m_devicePath = QString::fromLocal8Bit(slave);
    m_notifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    m_notifier->setEnabled(false);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyDeviceNode::onReadable);
    m_clientWatch.start();
    return true;
}

bool PtyDeviceNode::disconnectTransportInternal()
{
    m_clientWatch.stop();
    setDeviceOpen(false);
    delete m_notifier;
    m_notifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    return true;
}

void PtyDeviceNode::watchClient()
{
    pollfd fd{m_master, POLLIN, 0};
    if (::poll(&fd, 1, 0) >= 0)
        setDeviceOpen(!(fd.revents & POLLHUP));
}

void PtyDeviceNode::setDeviceOpen(bool open)
{
    if (m_deviceOpen == open)
        return;
    m_deviceOpen = open;
    // While no client has the node open our side reads as a hang-up: nothing to wait for there.
    if (m_notifier)
        m_notifier->setEnabled(open);
    m_request.clear();
    m_pendingEvents.clear();
    m_requestGap.stop();
    if (open)
        emit deviceOpened();
    else
        emit deviceClosed();
}

void PtyDeviceNode::onReadable()
{
    if (!m_deviceOpen)
        return;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_request.append(buffer, n);
            m_requestGap.start();
            continue;
        }
        if (n < 0 && errno == EIO)
            setDeviceOpen(false);
        return;
    }
}

void PtyDeviceNode::onRequestComplete()
{
    const ModbusBytes request = m_request;
    m_request.clear();
    emit bytesReceived(request, &m_target);
    ModbusBytes answer;
    emit requestBytesReceived(request, &m_target, &answer);
    if (!answer.isEmpty() && m_deviceOpen)
        writeAll(answer);
    flushEvents();
}

void PtyDeviceNode::flushEvents()
{
    while (!m_pendingEvents.isEmpty() && m_deviceOpen)
        writeAll(m_pendingEvents.takeFirst());
}

bool PtyDeviceNode::writeAll(const QByteArray &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // A client that reads nothing for a second is not waited for.
        pollfd fd{m_master, POLLOUT, 0};
        if (n < 0 && ::poll(&fd, 1, 1000) <= 0)
            return false;
        written += qMax<ssize_t>(n, 0);
    }
    return true;
}
