#include "qtcpsocketinvokable.h"

#include "modbusprotocol.h"
#include "modbustcpstream_p.h"
#include "tavrexbuslogging_p.h"
#include "tcpframewrite_p.h"
#include "threadcall_p.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QThread>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/socket.h>
#endif

QTcpSocketInvokable::QTcpSocketInvokable(QObject *parent)
    : QTcpSocket(parent)
{
    static const bool registered = [] {
        qRegisterMetaType<QHostAddress>("QHostAddress");
        qRegisterMetaType<QIODevice::OpenMode>("OpenMode");
        return true;
    }();
    Q_UNUSED(registered);
    // Modbus exchanges are small request/answer pairs: never hold a frame back to fill a segment.
    connect(this, &QAbstractSocket::connected, this, [this] { setSocketOption(LowDelayOption, 1); });
}

bool QTcpSocketInvokable::onOwnThread() const
{
    return QThread::currentThread() == thread();
}

// A socket whose thread has stopped can no longer act: a call then yields an empty result.
template <typename F>
auto QTcpSocketInvokable::onSocketThread(F function, QString *error) const
{
    return resultOnOwnerThread(const_cast<QTcpSocketInvokable *>(this), function, error);
}

void QTcpSocketInvokable::connectToHost(const QHostAddress &address, quint16 port, QIODevice::OpenMode mode)
{
    if (onOwnThread())
        QAbstractSocket::connectToHost(address, port, mode);
    else
        postToOwnerThread(this, [=] { connectToHost(address, port, mode); });
}

void QTcpSocketInvokable::disconnectFromHost()
{
    if (onOwnThread())
        QAbstractSocket::disconnectFromHost();
    else
        postToOwnerThread(this, [this] { disconnectFromHost(); });
}

qint64 QTcpSocketInvokable::bytesAvailable() const
{
    return onSocketThread([this] { return QTcpSocket::bytesAvailable(); });
}

bool QTcpSocketInvokable::writeAndWait(const ModbusBytes &data, int msecsToWrite, int msecsToRead)
{
    return onSocketThread([&] {
        if (writeTcpFrame(*this, data) != data.size())
            return false;
        return flushWithin(msecsToWrite) && QAbstractSocket::waitForReadyRead(msecsToRead);
    });
}

bool QTcpSocketInvokable::writeAndWait(const ModbusBytes &data, int msecsToWrite)
{
    return writeAndWait(data, msecsToWrite, 30000);
}

bool QTcpSocketInvokable::writeAndWait(const ModbusBytes &data)
{
    return writeAndWait(data, 30000, 30000);
}

ModbusBytes QTcpSocketInvokable::exchangeFrame(const ModbusBytes &request, int msecsToWrite, int msecsToRead,
                                               QString *error)
{
    return onSocketThread([&] {
        ModbusBytes answer;
        skip(QTcpSocket::bytesAvailable());
        if (writeTcpFrame(*this, request) != request.size() || !flushWithin(msecsToWrite)) {
            *error = QTcpSocket::errorString();
            return answer;
        }
        waitForFrame(answer, ModbusTcpStream::transactionId(request), msecsToRead, error);
        return answer;
    }, error);
}

// A small frame usually leaves at once; only a full send buffer makes the wait necessary.
bool QTcpSocketInvokable::flushWithin(int msecs)
{
    flush();
    return bytesToWrite() == 0 || QAbstractSocket::waitForBytesWritten(msecs);
}

// Reads until a whole answer with the wanted transaction identifier is in; what the peer sends
// for an earlier request is a late answer and is skipped.
bool QTcpSocketInvokable::waitForFrame(ModbusBytes &frame, quint16 transactionId, int msecs, QString *error)
{
    const QDeadlineTimer deadline(msecs);
    ModbusTcpStream stream;
    for (;;) {
        if (!receive(stream, deadline, error))
            return false;
        ModbusBytes candidate;
        ModbusTcpStream::Result result;
        while ((result = stream.takeFrame(candidate, error)) == ModbusTcpStream::Frame) {
            if (ModbusTcpStream::transactionId(candidate) == transactionId) {
                frame = candidate;
                return true;
            }
        }
        if (result == ModbusTcpStream::Garbage)
            return false;
    }
}

// Appends what the peer has sent to stream, waiting until the deadline for the first bytes.
bool QTcpSocketInvokable::receive(ModbusTcpStream &stream, const QDeadlineTimer &deadline, QString *error)
{
    if (QTcpSocket::bytesAvailable() > 0) {
        stream.append(QIODevice::read(QTcpSocket::bytesAvailable()));
        return true;
    }
#ifdef Q_OS_UNIX
    // With Qt's buffer empty, the answer is taken from the socket itself: one wait and one read,
    // where Qt would add a size query and a copy through its buffer.
    const int fd = int(socketDescriptor());
    for (;;) {
        pollfd readable = {fd, POLLIN, 0};
        const int ready = ::poll(&readable, 1, int(deadline.remainingTime()));
        if (ready == 0) {
            // The same words as Qt's own wait, so the message does not depend on which path waited.
            *error = tr("Network operation timed out");
            return false;
        }
        QByteArray chunk(ModbusProtocol::MaxTcpFrameSize, Qt::Uninitialized);
        const ssize_t received = ready < 0 ? -1 : ::recv(fd, chunk.data(), size_t(chunk.size()), MSG_DONTWAIT);
        if (received > 0) {
            chunk.resize(received);
            stream.append(chunk);
            return true;
        }
        // The closed connection is left for Qt to find, which then reports it as usual.
        if (received == 0) {
            *error = tr("The remote host closed the connection");
            return false;
        }
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            *error = qt_error_string(errno);
            return false;
        }
    }
#else
    if (!QAbstractSocket::waitForReadyRead(int(deadline.remainingTime()))) {
        *error = QTcpSocket::errorString();
        return false;
    }
    stream.append(QIODevice::read(QTcpSocket::bytesAvailable()));
    return true;
#endif
}

quint16 QTcpSocketInvokable::localPort() const
{
    return onSocketThread([this] { return QAbstractSocket::localPort(); });
}

QHostAddress QTcpSocketInvokable::localAddress() const
{
    return onSocketThread([this] { return QAbstractSocket::localAddress(); });
}

quint16 QTcpSocketInvokable::peerPort() const
{
    return onSocketThread([this] { return QAbstractSocket::peerPort(); });
}

QHostAddress QTcpSocketInvokable::peerAddress() const
{
    return onSocketThread([this] { return QAbstractSocket::peerAddress(); });
}

bool QTcpSocketInvokable::waitForConnected(int msecs)
{
    return onSocketThread([=] {
        return state() == ConnectedState || QAbstractSocket::waitForConnected(msecs);
    });
}

bool QTcpSocketInvokable::waitForReadyRead(int msecs)
{
    return onSocketThread([=] { return QAbstractSocket::waitForReadyRead(msecs); });
}

bool QTcpSocketInvokable::waitForBytesWritten(int msecs)
{
    return onSocketThread([=] { return QAbstractSocket::waitForBytesWritten(msecs); });
}

bool QTcpSocketInvokable::waitForDisconnected(int msecs)
{
    return onSocketThread([=] {
        return state() == UnconnectedState || QAbstractSocket::waitForDisconnected(msecs);
    });
}

QString QTcpSocketInvokable::errorString() const
{
    // A socket that cannot be reached tells why.
    QString text;
    callOnOwnerThread(const_cast<QTcpSocketInvokable *>(this), [&] { text = QTcpSocket::errorString(); }, &text);
    return text;
}

ModbusBytes QTcpSocketInvokable::readAll()
{
    return onSocketThread([this] { return ModbusBytes(QIODevice::readAll()); });
}

qint64 QTcpSocketInvokable::write(const ModbusBytes &data)
{
    Q_UNUSED(data);
    qCWarning(lcTcp, "this function is not supported in QTcpSocketInvokable");
    return -1;
}
