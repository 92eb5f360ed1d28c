#include "modbustcpserver.h"

#include "modbustcpdeparser.h"
#include "modbustcpparser.h"
#include "modbustcpstream_p.h"
#include "modbustcptarget.h"
#include "tcppeerpoller_p.h"

#include <QtCore/QBasicTimer>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QTimerEvent>
#include <QtNetwork/QTcpServer>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <utility>

namespace {

// The most read from a peer at a time; the rest waits in the kernel, where TCP flow control slows
// the peer down.
constexpr int PeerReadSize = 4096;
// A peer's requests wait while this many bytes of its answers are not yet sent.
constexpr qsizetype AnswerBacklog = 16 * 1024;
// Answers held back for one write go out once they reach this much, well short of the backlog.
constexpr qsizetype CorkedOutput = 4 * 1024;
// A frame that would leave more than this unsent for one peer drops the peer.
constexpr qsizetype MaxPendingOutput = 64 * 1024;
// What the kernel may hold of a peer's answers: a few hundred, where it would otherwise grow its
// buffer to megabytes for a peer that does not read them.
constexpr int KernelSendBuffer = 64 * 1024;
// How soon accepting is tried again after it failed, for instance for want of descriptors.
constexpr int AcceptRetryInterval = 1000;

// Hands each accepted descriptor over as it comes, instead of as a QTcpSocket: a socket object
// would add itself to the event loop, which then looks at every idle peer on each wakeup.
class ModbusTcpListener : public QTcpServer
{
public:
    ModbusTcpListener(QObject *parent, std::function<void(int)> accept)
        : QTcpServer(parent), m_accept(std::move(accept))
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override { m_accept(int(descriptor)); }

private:
    std::function<void(int)> m_accept;
};

// Waits up to msecs for fd to become ready for events; false on time-out, with errno ETIMEDOUT.
bool waitFor(int fd, short events, int msecs)
{
    pollfd watched = {fd, events, 0};
    int ready;
    do {
        ready = ::poll(&watched, 1, msecs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0)
        errno = ETIMEDOUT;
    return ready > 0;
}

} // namespace

// What the server keeps of one peer: its socket, its target, the bytes of a request not yet whole,
// the answers the kernel has not taken yet, the clocks that drop a partial request whose rest does
// not come and a peer that leaves its answers unread, and what the poller watches it for.
struct ModbusTcpPeer
{
    int fd = -1;
    ModbusTcpTarget *target = nullptr;
    ModbusTcpStream stream;
    QByteArray output;
    QBasicTimer expiry;
    QBasicTimer unreadAnswers;
    int interests = TcpPeerPoller::Read;
    // While set, answers wait in output for the others of the same read, to leave in one write.
    bool corked = false;

    QString text() const { return QStringLiteral("%1:%2").arg(target->addressStr()).arg(target->port()); }
    bool heldBack() const { return output.size() >= AnswerBacklog; }
};

ModbusTcpServer::ModbusTcpServer(QObject *parent)
    : ModbusTcpServer(502, parent)
{
}

ModbusTcpServer::ModbusTcpServer(int port, QObject *parent)
    : ModbusIpTransport(TavrexBus::ServerBus, QHostAddress(QHostAddress::AnyIPv4), port, parent)
    , m_listener(new ModbusTcpListener(this, [this](int fd) { acceptPeer(fd); }))
    , m_poller(std::make_unique<TcpPeerPoller>(this, [this](int fd, bool readable, bool writable) {
        onPeerReady(fd, readable, writable);
    }))
{
    connect(m_listener, &QTcpServer::acceptError, this, &ModbusTcpServer::onAcceptError);
    m_acceptRetry.setSingleShot(true);
    m_acceptRetry.setInterval(AcceptRetryInterval);
    connect(&m_acceptRetry, &QTimer::timeout, this, &ModbusTcpServer::resumeAccepting);
}

ModbusTcpServer::~ModbusTcpServer()
{
    withdraw();
    if (connected())
        disconnectTransport();
    while (!m_peers.isEmpty())
        removePeer(m_peers.begin().value());
}

int ModbusTcpServer::maxConnections() const
{
    return m_maxConnections;
}

void ModbusTcpServer::setMaxConnections(int count)
{
    count = qMax(count, 0);
    if (m_maxConnections == count)
        return;
    m_maxConnections = count;
    emit maxConnectionsChanged();
}

ModbusBytes ModbusTcpServer::lastChunk() const
{
    return m_lastChunk;
}

qint64 ModbusTcpServer::bytesToWrite(const Target *target)
{
    const std::shared_ptr<ModbusTcpPeer> peer = peerOf(target);
    return peer ? peer->output.size() : 0;
}

bool ModbusTcpServer::disconnectPeer(const Target *target)
{
    const std::shared_ptr<ModbusTcpPeer> peer = peerOf(target);
    if (peer)
        removePeer(peer);
    return peer != nullptr;
}

// Asked for every request the server answers: a scan of the targets would grow with the idle peers.
bool ModbusTcpServer::hasTarget(const Target *target)
{
    return m_peersByTarget.contains(target);
}

int ModbusTcpServer::targetsCount() const
{
    return int(m_targets.size());
}

ModbusParser *ModbusTcpServer::createParser(QObject *parent)
{
    return new ModbusTCPParser(parent);
}

ModbusDeparser *ModbusTcpServer::createDeparser(QObject *parent)
{
    return new ModbusTCPDeparser(parent);
}

bool ModbusTcpServer::waitForIncomingConnection() const
{
    return connected() && m_listener->waitForNewConnection(connectTimeout());
}

int ModbusTcpServer::bytesAvailable(const Target *target)
{
    if (!connected())
        return 0;
    const std::shared_ptr<ModbusTcpPeer> peer = peerOf(target);
    if (!peer) {
        setErrorString(tr("unknown target"));
        return 0;
    }
    int unread = 0;
    return ::ioctl(peer->fd, FIONREAD, &unread) == 0 ? unread : 0;
}

std::shared_ptr<ModbusTcpPeer> ModbusTcpServer::peerOf(const Target *target)
{
    const auto *tcpTarget = qobject_cast<const ModbusTcpTarget *>(target);
    if (!tcpTarget) {
        setErrorString(tr("invalid target type"));
        return nullptr;
    }
    return m_peersByTarget.value(tcpTarget);
}

bool ModbusTcpServer::connectTransportInternal()
{
    if (!m_poller->isValid()) {
        setConnectError(tr("error listening tcp port %1: %2").arg(port()).arg(qt_error_string(m_poller->error())));
        return false;
    }
    if (!m_listener->listen(address(), quint16(port()))) {
        setConnectError(tr("error listening tcp port %1: %2").arg(port()).arg(m_listener->errorString()));
        return false;
    }
    setPort(m_listener->serverPort());
    m_refusedConnections = 0;
    m_acceptFailing = false;
    m_acceptedSinceError = false;
    return true;
}

// Each peer gets disconnectTimeout to take the answers it has not read yet.
bool ModbusTcpServer::disconnectTransportInternal()
{
    m_listener->close();
    m_acceptRetry.stop();
    while (!m_targets.isEmpty()) {
        // Every target is a peer's, and goes with it; a peer lost meanwhile is closed already.
        const std::shared_ptr<ModbusTcpPeer> peer = peerOf(m_targets.last());
        const QString address = peer->target->addressStr();
        if (!flushOutput(peer, disconnectTimeout()) && peer->fd >= 0) {
            setErrorString(tr("can't disconnect socket: %1, %2").arg(address, qt_error_string(errno)));
            return false;
        }
        removePeer(peer);
    }
    return true;
}

void ModbusTcpServer::acceptPeer(int fd)
{
    m_acceptFailing = false;
    m_acceptedSinceError = true;
    sockaddr_storage address = {};
    socklen_t size = sizeof address;
    ::getpeername(fd, reinterpret_cast<sockaddr *>(&address), &size);
    const QHostAddress peerAddress(reinterpret_cast<const sockaddr *>(&address));
    const quint16 peerPort = ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 &>(address).sin6_port
                                                                 : reinterpret_cast<sockaddr_in &>(address).sin_port);
    if (m_maxConnections > 0 && m_peers.size() >= m_maxConnections) {
        ::close(fd);
        ++m_refusedConnections;
        setErrorString(tr("connection from %1:%2 refused: %3 peers connected, the most maxConnections allows; "
                          "%4 refused since listening started")
                           .arg(peerAddress.toString())
                           .arg(peerPort)
                           .arg(m_peers.size())
                           .arg(m_refusedConnections));
        return;
    }
    auto *target = new ModbusTcpTarget(peerAddress, peerPort);
    bool allow = true;
    emit newClientConnection(target, allow);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &KernelSendBuffer, sizeof KernelSendBuffer);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (!allow || !m_poller->add(fd, TcpPeerPoller::Read)) {
        ::close(fd);
        delete target;
        return;
    }
    // Known before it is announced, so that receivers of targetAdded find it.
    auto peer = std::make_shared<ModbusTcpPeer>();
    peer->fd = fd;
    peer->target = target;
    m_peers.insert(fd, peer);
    m_peersByTarget.insert(target, peer);
    if (!addTarget(target)) {
        m_poller->remove(fd);
        ::close(fd);
        m_peers.remove(fd);
        m_peersByTarget.remove(target);
        delete target;
        return;
    }
    emit targetsCountChanged();
}

// Accepting stops when it fails (no descriptor left, say); it starts again when a peer leaves, or
// after a while. The failure is reported once until a connection is accepted again.
void ModbusTcpServer::onAcceptError()
{
    // Once an accept has failed, the listener reports that failure again at the end of every
    // later batch of connections, where there was merely none left to take.
    if (std::exchange(m_acceptedSinceError, false)) {
        m_listener->resumeAccepting();
        return;
    }
    m_acceptRetry.start();
    if (std::exchange(m_acceptFailing, true))
        return;
    setErrorString(tr("error accepting tcp connection: %1").arg(m_listener->errorString()));
}

void ModbusTcpServer::resumeAccepting()
{
    if (!m_acceptFailing || !m_listener->isListening())
        return;
    m_acceptRetry.stop();
    m_listener->resumeAccepting();
}

bool ModbusTcpServer::addTarget(ModbusTcpTarget *target)
{
    if (m_targets.contains(target)) {
        setErrorString(tr("also have this target"));
        return false;
    }
    m_targets.append(target);
    emit targetAdded(target);
    return true;
}

bool ModbusTcpServer::removeTarget(ModbusTcpTarget *target)
{
    if (!m_targets.removeOne(target)) {
        setErrorString(tr("don't have this target"));
        return false;
    }
    target->disconnect(this);
    emit targetRemoved(target);
    delete target;
    return true;
}

void ModbusTcpServer::onPeerReady(int fd, bool readable, bool writable)
{
    const std::shared_ptr<ModbusTcpPeer> peer = m_peers.value(fd);
    if (peer && writable)
        sendOutput(peer);
    if (peer && readable)
        serve(peer);
}

// Answers every whole request of a peer, reading one more chunk when none is left, and only while
// the peer reads its answers: neither its requests nor its answers pile up here.
void ModbusTcpServer::serve(const std::shared_ptr<ModbusTcpPeer> &peer)
{
    bool received = false;
    for (;;) {
        // An answer may have lost the peer; its descriptor is gone then.
        while (peer->fd >= 0 && !peer->heldBack()) {
            ModbusBytes frame;
            QString error;
            const ModbusTcpStream::Result result = peer->stream.takeFrame(frame, &error);
            if (result == ModbusTcpStream::Frame) {
                // Requests sent back to back get their answers back to back, in few writes.
                peer->corked = peer->corked || !peer->stream.isEmpty();
                answerFrame(peer, frame);
                if (peer->corked && peer->output.size() >= CorkedOutput && peer->fd >= 0
                    && !(peer->interests & TcpPeerPoller::Write) && !writeOutput(peer))
                    return;
                continue;
            }
            if (result == ModbusTcpStream::Garbage)
                setErrorString(error);
            if (received || !receive(peer))
                break;
            received = true;
        }
        const bool heldBack = peer->heldBack();
        if (!std::exchange(peer->corked, false) || peer->fd < 0)
            break;
        if (!writeOutput(peer))
            return;
        // Sending made room for the answers to requests that are here already.
        if (!heldBack || peer->heldBack())
            break;
    }
    if (peer->fd < 0 || peer->heldBack())
        return;
    if (peer->stream.isEmpty())
        peer->expiry.stop();
    else if (received)
        peer->expiry.start(readAnswerTimeout(), this);
}

// Reads what the peer has sent, up to a limit; false when there was nothing or the peer is gone.
bool ModbusTcpServer::receive(const std::shared_ptr<ModbusTcpPeer> &peer)
{
    char chunk[PeerReadSize];
    ssize_t size;
    do {
        size = ::recv(peer->fd, chunk, sizeof chunk, 0);
    } while (size < 0 && errno == EINTR);
    if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return false;
    if (size <= 0) {
        removePeer(peer);
        return false;
    }
    m_lastChunk = QByteArray(chunk, size);
    peer->stream.append(m_lastChunk);
    return true;
}

void ModbusTcpServer::answerFrame(const std::shared_ptr<ModbusTcpPeer> &peer, const ModbusBytes &frame)
{
    ModbusTcpTarget *target = peer->target;
    // Clients match answers to requests by this identifier.
    target->setTransactionID(ModbusTcpStream::transactionId(frame));
    emit bytesReceived(frame, target);
    ModbusBytes answerBytes;
    emit requestBytesReceived(frame, target, &answerBytes);
    // The answer is not waited for: the peer's next requests wait until it reads its answers, and
    // the other peers do not wait at all.
    if (!answerBytes.isEmpty() && peer->fd >= 0 && writeFrame(peer, answerBytes, nullptr))
        emit bytesSent(answerBytes, target);
}

// Sends a frame, or what the kernel takes of it, after the answers the peer has not taken yet.
bool ModbusTcpServer::writeFrame(const std::shared_ptr<ModbusTcpPeer> &peer, const ModbusBytes &bytes,
                                 QString *error)
{
    if (peer->output.size() + bytes.size() > MaxPendingOutput) {
        setErrorString(tr("error while sending bytes: %1")
                           .arg(tr("peer %1 does not read its answers, %2 bytes wait; connection closed")
                                    .arg(peer->text())
                                    .arg(peer->output.size())),
                       error);
        removePeer(peer);
        return false;
    }
    if (peer->corked || !peer->output.isEmpty()) {
        peer->output.append(bytes);
        if (!peer->corked)
            updateWatch(*peer);
        return true;
    }
    // Usually the kernel takes the whole frame at once, and nothing needs to be kept.
    ssize_t sent;
    do {
        sent = ::send(peer->fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (sent < 0 && errno == EINTR);
    if (sent == bytes.size())
        return true;
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        setErrorString(tr("error while sending bytes: %1").arg(qt_error_string(errno)), error);
        removePeer(peer);
        return false;
    }
    peer->output = bytes.mid(qMax<qsizetype>(sent, 0));
    updateWatch(*peer);
    return true;
}

// Sends what the kernel takes of a peer's waiting answers, then serves the requests that waited for
// room; false when the peer is gone.
bool ModbusTcpServer::sendOutput(const std::shared_ptr<ModbusTcpPeer> &peer)
{
    const bool wasHeldBack = peer->heldBack();
    if (!writeOutput(peer))
        return false;
    // Requests it sent meanwhile may be whole already.
    if (wasHeldBack && !peer->heldBack())
        serve(peer);
    return true;
}

// Sends what the kernel takes of a peer's waiting answers, and nothing else; false when the peer is gone.
bool ModbusTcpServer::writeOutput(const std::shared_ptr<ModbusTcpPeer> &peer)
{
    const bool wasHeldBack = peer->heldBack();
    qsizetype sent = 0;
    while (sent < peer->output.size()) {
        const ssize_t size = ::send(peer->fd, peer->output.constData() + sent, size_t(peer->output.size() - sent),
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (size < 0 && errno == EINTR)
            continue;
        if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (size < 0) {
            const int failure = errno;
            removePeer(peer);
            errno = failure;
            return false;
        }
        sent += size;
    }
    peer->output.remove(0, sent);
    // A peer that reads, if slowly, gets the whole time again.
    if (wasHeldBack && sent > 0 && peer->heldBack())
        peer->unreadAnswers.start(writeTimeout(), this);
    updateWatch(*peer);
    return true;
}

// Waits up to msecs for the kernel to take all of a peer's waiting answers; false with errno set
// when it does not, or when the peer is gone.
bool ModbusTcpServer::flushOutput(const std::shared_ptr<ModbusTcpPeer> &peer, int msecs)
{
    const QDeadlineTimer deadline(msecs);
    while (!peer->output.isEmpty()) {
        if (!waitFor(peer->fd, POLLOUT, int(deadline.remainingTime())) || !sendOutput(peer))
            return false;
    }
    return peer->fd >= 0;
}

// What to watch a peer for: its requests unless it is held back, and writability while answers wait.
// A held-back peer is dropped when it reads none of them for writeTimeout.
void ModbusTcpServer::updateWatch(ModbusTcpPeer &peer)
{
    const bool heldBack = peer.heldBack();
    const int interests = (heldBack ? 0 : TcpPeerPoller::Read) | (peer.output.isEmpty() ? 0 : TcpPeerPoller::Write);
    if (interests != peer.interests && m_poller->modify(peer.fd, interests))
        peer.interests = interests;
    if (!heldBack) {
        peer.unreadAnswers.stop();
    } else if (!peer.unreadAnswers.isActive()) {
        peer.expiry.stop();
        peer.unreadAnswers.start(writeTimeout(), this);
    }
}

void ModbusTcpServer::timerEvent(QTimerEvent *event)
{
    for (const std::shared_ptr<ModbusTcpPeer> &peer : std::as_const(m_peers)) {
        if (peer->expiry.timerId() == event->timerId()) {
            dropPartialFrame(*peer);
            return;
        }
        if (peer->unreadAnswers.timerId() == event->timerId()) {
            dropNonReader(peer);
            return;
        }
    }
    ModbusTransport::timerEvent(event);
}

void ModbusTcpServer::dropPartialFrame(ModbusTcpPeer &peer)
{
    peer.expiry.stop();
    if (peer.stream.isEmpty())
        return;
    setErrorString(tr("incomplete request dropped after %1 ms of silence: %2 bytes")
                       .arg(readAnswerTimeout())
                       .arg(peer.stream.size()));
    peer.stream.clear();
}

void ModbusTcpServer::dropNonReader(const std::shared_ptr<ModbusTcpPeer> &peer)
{
    const std::shared_ptr<ModbusTcpPeer> dropped = peer;
    setErrorString(tr("error while waiting for send bytes: %1")
                       .arg(tr("peer %1 has read none of its answers for %2 ms, %3 bytes wait; connection closed")
                                .arg(dropped->text())
                                .arg(writeTimeout())
                                .arg(dropped->output.size())));
    removePeer(dropped);
}

bool ModbusTcpServer::sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                                QString *error)
{
    if (!checkCanSendBytes(target, error))
        return false;
    const std::shared_ptr<ModbusTcpPeer> peer = peerOf(target);
    if (!peer) {
        setErrorString(tr("can't find socket of this target"), error);
        return false;
    }
    if (!writeFrame(peer, bytes, error))
        return false;
    if (!flushOutput(peer, writeTimeout())) {
        setErrorString(tr("error while waiting for send bytes: %1").arg(qt_error_string(errno)), error);
        return false;
    }
    emit bytesSent(bytes, target);
    if (!answer)
        return true;
    if (!waitFor(peer->fd, POLLIN, readAnswerTimeout())) {
        setErrorString(tr("answer timeout: %1").arg(qt_error_string(errno)), error);
        return false;
    }
    serve(peer);
    *answer = m_lastChunk;
    return true;
}

// The peer's socket is closed at once: answers it has not taken are lost with it.
void ModbusTcpServer::removePeer(std::shared_ptr<ModbusTcpPeer> peer)
{
    if (peer->fd < 0)
        return;
    m_poller->remove(peer->fd);
    ::close(peer->fd);
    m_peers.remove(peer->fd);
    m_peersByTarget.remove(peer->target);
    peer->fd = -1;
    peer->expiry.stop();
    peer->unreadAnswers.stop();
    removeTarget(peer->target);
    emit targetsCountChanged();
    // The descriptor it frees may be the one accepting lacked.
    resumeAccepting();
}

QString ModbusTcpServer::toString(bool oneLine) const
{
    QString lines = tr("address: %1; port: %2\n").arg(address().toString()).arg(port()) + timeoutsText(false);
    lines += tr("targets [%1]:\n").arg(m_targets.size());
    for (int i = 0; i < m_targets.size(); ++i)
        lines += tr("  target %1: %2\n").arg(i).arg(m_targets.at(i)->toString(true));
    return describe(tr("Modbus TCP server"), lines, oneLine);
}
