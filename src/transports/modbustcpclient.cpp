#include "modbustcpclient.h"

#include "modbustcpdeparser.h"
#include "modbustcpparser.h"
#include "modbustcpstream_p.h"
#include "qtcpsocketinvokable.h"
#include "threadcall_p.h"

#include <QtCore/QMetaMethod>

ModbusTcpClient::ModbusTcpClient(QObject *parent)
    : ModbusTcpClient(ModbusTcpTarget(), parent)
{
}

ModbusTcpClient::ModbusTcpClient(const QHostAddress &address, int port, QObject *parent)
    : ModbusTcpClient(ModbusTcpTarget(address, port), parent)
{
}

ModbusTcpClient::ModbusTcpClient(const ModbusTcpTarget &target, QObject *parent)
    : ModbusIpTransport(TavrexBus::ClientBus, target.address(), target.port(), parent)
    , m_target(target)
{
    m_target.setParent(this);
    // The target is the peer's identity for the engine; it follows the endpoint properties.
    connect(this, &ModbusIpTransport::addressChanged, this, [this] { m_target.setAddress(address()); },
            Qt::DirectConnection);
    connect(this, &ModbusIpTransport::portChanged, this, [this] { m_target.setPort(port()); }, Qt::DirectConnection);
    m_socketThread.setObjectName(QStringLiteral("Modbus TCP socket thread"));
    m_socketThread.start();
    m_socketThread.setPriority(QThread::LowPriority);
}

ModbusTcpClient::~ModbusTcpClient()
{
    withdraw();
    if (connected())
        disconnectTransport();
    {
        const std::lock_guard locker(m_sendMutex);
        dropSocket();
    }
    m_socketThread.quit();
    m_socketThread.wait();
}

Target *ModbusTcpClient::clientTarget()
{
    return &m_target;
}

ModbusParser *ModbusTcpClient::createParser(QObject *parent)
{
    return new ModbusTCPParser(parent);
}

ModbusDeparser *ModbusTcpClient::createDeparser(QObject *parent)
{
    return new ModbusTCPDeparser(parent);
}

int ModbusTcpClient::bytesAvailable(const Target *target)
{
    const std::lock_guard locker(m_sendMutex);
    if (!connected() || !m_socket)
        return 0;
    if (!hasTarget(target)) {
        setErrorString(tr("unknown target"));
        return 0;
    }
    return int(m_socket->bytesAvailable());
}

bool ModbusTcpClient::sendBytes(const ModbusBytes &bytes, ModbusBytes *answer, QString *error)
{
    return sendBytes(bytes, &m_target, answer, error);
}

bool ModbusTcpClient::sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                                QString *error)
{
    const std::lock_guard locker(m_sendMutex);
    // A closing link drops its socket first, and only then counts as disconnected.
    if (!checkCanSendBytes(target, error, m_socket != nullptr))
        return false;
    emitBytesSent(bytes);
    QString socketError;
    const ModbusBytes frame = m_socket->exchangeFrame(bytes, writeTimeout(), readAnswerTimeout(), &socketError);
    // Every request gets a new identifier, so a late answer to this one is never taken for the next.
    m_target.setTransactionID(quint16(ModbusTcpStream::transactionId(bytes) + 1));
    if (frame.isEmpty()) {
        setErrorString(tr("error sending/receiving bytes: %1").arg(socketError), error);
        return false;
    }
    if (answer) {
        *answer = frame;
        emit bytesReceived(frame, target);
    }
    return true;
}

void ModbusTcpClient::emitBytesSent(const ModbusBytes &bytes)
{
    // Crossing threads costs an event and a wake-up of the owner thread on every request.
    static const QMetaMethod signal = QMetaMethod::fromSignal(&Transport::bytesSent);
    if (isSignalConnected(signal))
        emitOnOwnerThread(this, &Transport::bytesSent, bytes, static_cast<const Target *>(&m_target));
}

bool ModbusTcpClient::connectTransportInternal()
{
    {
        const std::lock_guard locker(m_sendMutex);
        dropSocket();
    }
    auto *socket = new QTcpSocketInvokable;
    socket->moveToThread(&m_socketThread);
    socket->connectToHost(address(), quint16(port()), QIODevice::ReadWrite);
    if (!socket->waitForConnected(connectTimeout())) {
        setConnectError(tr("can't connect to: %1, %2").arg(addressStr(), socket->errorString()));
        socket->deleteLater();
        return false;
    }
    connect(socket, &QAbstractSocket::disconnected, this, &ModbusTcpClient::onSocketDisconnected);
    connect(this, &QObject::destroyed, socket, &QObject::deleteLater);
    const std::lock_guard locker(m_sendMutex);
    m_socket = socket;
    return true;
}

bool ModbusTcpClient::disconnectTransportInternal()
{
    // An exchange in progress ends first; the socket is not taken from under it.
    const std::lock_guard locker(m_sendMutex);
    if (!m_socket)
        return true;
    m_socket->disconnect(this);
    disconnect(m_socket);
    m_socket->disconnectFromHost();
    if (!m_socket->waitForDisconnected(disconnectTimeout())) {
        setErrorString(tr("can't disconnect tcp socket: %1, %2")
                           .arg(m_socket->peerAddress().toString(), m_socket->errorString()));
        return false;
    }
    dropSocket();
    return true;
}

// Callers hold the send mutex.
void ModbusTcpClient::dropSocket()
{
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    disconnect(m_socket);
    m_socket->deleteLater();
    m_socket = nullptr;
}

void ModbusTcpClient::onSocketDisconnected()
{
    {
        const std::lock_guard locker(m_sendMutex);
        const QString reason = m_socket ? m_socket->errorString() : QString();
        setErrorString(tr("socket has been disconnected: %1").arg(reason));
    }
    if (sender() && sender() == m_socket)
        autoDisconnect();
}

void ModbusTcpClient::moveToThread(QThread *thread)
{
    QObject::moveToThread(thread);
}

QString ModbusTcpClient::toString(bool oneLine) const
{
    return describe(tr("Modbus TCP client"), tr("target: %1\n").arg(m_target.toString(true)) + timeoutsText(true),
                    oneLine);
}
