#include "modbustcpserver.h"

#include "modbustcpdeparser.h"
#include "modbustcpparser.h"
#include "modbustcpstream_p.h"
#include "modbustcptarget.h"
#include "tcpframewrite_p.h"

#include <QtCore/QTimer>
#include <QtNetwork/QTcpSocket>

#include <memory>

// What the server keeps of one peer besides its target: the bytes of a request not yet whole,
// and the clock that drops them when the rest does not come.
struct ModbusTcpPeer
{
    ModbusTcpTarget *target = nullptr;
    ModbusTcpStream stream;
    QTimer expiry;
};

ModbusTcpServer::ModbusTcpServer(QObject *parent)
    : ModbusTcpServer(502, parent)
{
}

ModbusTcpServer::ModbusTcpServer(int port, QObject *parent)
    : ModbusIpTransport(TavrexBus::ServerBus, QHostAddress(QHostAddress::AnyIPv4), port, parent)
{
    m_server.setParent(this);
    connect(&m_server, &QTcpServer::newConnection, this, &ModbusTcpServer::onNewConnection);
}

ModbusTcpServer::~ModbusTcpServer()
{
    withdraw();
    if (connected())
        disconnectTransport();
    for (QTcpSocket *socket : std::as_const(m_sockets))
        socket->disconnect(this);
    qDeleteAll(m_peers);
    qDeleteAll(m_targets);
}

ModbusBytes ModbusTcpServer::lastChunk() const
{
    return m_lastChunk;
}

bool ModbusTcpServer::hasTarget(const Target *target)
{
    return std::any_of(m_targets.cbegin(), m_targets.cend(), [target](const ModbusTcpTarget *held) {
        return held == target;
    });
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
    return connected() && const_cast<QTcpServer &>(m_server).waitForNewConnection(connectTimeout());
}

int ModbusTcpServer::bytesAvailable(const Target *target)
{
    if (!connected())
        return 0;
    QTcpSocket *socket = socketOf(target);
    if (!socket) {
        setErrorString(tr("unknown target"));
        return 0;
    }
    return int(socket->bytesAvailable());
}

ModbusTcpTarget *ModbusTcpServer::targetOf(const QTcpSocket *socket) const
{
    const ModbusTcpPeer *peer = m_peers.value(socket);
    return peer ? peer->target : nullptr;
}

QTcpSocket *ModbusTcpServer::socketOf(const Target *target)
{
    const auto *tcpTarget = qobject_cast<const ModbusTcpTarget *>(target);
    if (!tcpTarget) {
        setErrorString(tr("invalid target type"));
        return nullptr;
    }
    for (auto it = m_peers.cbegin(); it != m_peers.cend(); ++it) {
        if (it.value()->target == tcpTarget)
            return const_cast<QTcpSocket *>(it.key());
    }
    return nullptr;
}

bool ModbusTcpServer::connectTransportInternal()
{
    if (!m_server.listen(address(), quint16(port()))) {
        setConnectError(tr("error listening tcp port %1: %2").arg(port()).arg(m_server.errorString()));
        return false;
    }
    setPort(m_server.serverPort());
    return true;
}

bool ModbusTcpServer::disconnectTransportInternal()
{
    m_server.close();
    while (!m_sockets.isEmpty()) {
        QTcpSocket *socket = m_sockets.last();
        socket->disconnectFromHost();
        if (m_sockets.contains(socket) && socket->state() != QAbstractSocket::UnconnectedState
            && !socket->waitForDisconnected(disconnectTimeout())) {
            setErrorString(tr("can't disconnect socket: %1, %2")
                               .arg(socket->peerAddress().toString(), socket->errorString()));
            return false;
        }
        removeSocket(socket);
    }
    return true;
}

void ModbusTcpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto *target = new ModbusTcpTarget(*socket, nullptr);
        bool allow = true;
        emit newClientConnection(target, allow);
        if (!allow || !addTarget(target)) {
            socket->deleteLater();
            delete target;
            continue;
        }
        m_sockets.append(socket);
        auto *peer = new ModbusTcpPeer;
        peer->target = target;
        peer->expiry.setSingleShot(true);
        connect(&peer->expiry, &QTimer::timeout, this, [this, socket] { dropPartialFrame(socket); });
        m_peers.insert(socket, peer);
        connect(socket, &QTcpSocket::readyRead, this, &ModbusTcpServer::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, &ModbusTcpServer::onSocketDisconnected);
        emit targetsCountChanged();
    }
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

void ModbusTcpServer::onReadyRead()
{
    auto *socket = qobject_cast<QTcpSocket *>(sender());
    if (!socket)
        return;
    // readAll() would reserve a whole read buffer for a request of a few bytes.
    m_lastChunk = socket->read(socket->bytesAvailable());
    ModbusTcpPeer *peer = m_peers.value(socket);
    if (!peer)
        return;
    peer->stream.append(m_lastChunk);
    answerFrames(socket, peer->target);
}

void ModbusTcpServer::answerFrames(QTcpSocket *socket, ModbusTcpTarget *target)
{
    ModbusTcpPeer *peer = m_peers.value(socket);
    ModbusBytes frame;
    QString error;
    for (;;) {
        switch (peer->stream.takeFrame(frame, &error)) {
        case ModbusTcpStream::Frame:
            answerFrame(frame, target);
            // An answer may have lost the peer; its state is gone then.
            peer = m_peers.value(socket);
            if (!peer)
                return;
            continue;
        case ModbusTcpStream::Garbage:
            peer->expiry.stop();
            setErrorString(error);
            return;
        case ModbusTcpStream::Incomplete:
            if (peer->stream.isEmpty())
                peer->expiry.stop();
            else
                peer->expiry.start(readAnswerTimeout());
            return;
        }
    }
}

void ModbusTcpServer::answerFrame(const ModbusBytes &frame, ModbusTcpTarget *target)
{
    // Clients match answers to requests by this identifier.
    target->setTransactionID(ModbusTcpStream::transactionId(frame));
    emit bytesReceived(frame, target);
    ModbusBytes answerBytes;
    emit requestBytesReceived(frame, target, &answerBytes);
    if (!answerBytes.isEmpty())
        sendBytes(answerBytes, target, nullptr, nullptr);
}

void ModbusTcpServer::dropPartialFrame(QTcpSocket *socket)
{
    ModbusTcpPeer *peer = m_peers.value(socket);
    if (!peer || peer->stream.isEmpty())
        return;
    setErrorString(tr("incomplete request dropped after %1 ms of silence: %2 bytes")
                       .arg(readAnswerTimeout())
                       .arg(peer->stream.size()));
    peer->stream.clear();
}

bool ModbusTcpServer::sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                                QString *error)
{
    if (!checkCanSendBytes(target, error))
        return false;
    QTcpSocket *socket = socketOf(target);
    if (!socket) {
        setErrorString(tr("can't find socket of this target"), error);
        return false;
    }
    if (writeTcpFrame(*socket, bytes) != bytes.size()) {
        setErrorString(tr("error while sending bytes: %1").arg(socket->errorString()), error);
        return false;
    }
    socket->flush();
    if (socket->bytesToWrite() > 0 && !socket->waitForBytesWritten(writeTimeout())) {
        setErrorString(tr("error while waiting for send bytes: %1").arg(socket->errorString()), error);
        return false;
    }
    emit bytesSent(bytes, target);
    if (!answer)
        return true;
    if (!socket->waitForReadyRead(readAnswerTimeout())) {
        setErrorString(tr("answer timeout: %1").arg(socket->errorString()), error);
        return false;
    }
    *answer = m_lastChunk;
    return true;
}

void ModbusTcpServer::onSocketDisconnected()
{
    removeSocket(qobject_cast<QTcpSocket *>(sender()));
}

void ModbusTcpServer::removeSocket(QTcpSocket *socket)
{
    if (!socket || !m_sockets.removeOne(socket))
        return;
    socket->disconnect(this);
    std::unique_ptr<ModbusTcpPeer> peer(m_peers.take(socket));
    if (peer)
        removeTarget(peer->target);
    socket->deleteLater();
    emit targetsCountChanged();
}

QString ModbusTcpServer::toString(bool oneLine) const
{
    QString text = tr("transport: %1 (%2)\n").arg(tr("Modbus TCP server"), TavrexBus::busTypeStr(busType()));
    text += tr("status: ") + (connected() ? tr("connected") : tr("disconnected")) + QLatin1Char('\n');
    text += tr("address: %1; port: %2").arg(addressStr()).arg(port()) + QLatin1Char('\n');
    text += tr("timeouts:  (disconnect: %1; read answer: %2; write: %3)\n")
                .arg(disconnectTimeout())
                .arg(readAnswerTimeout())
                .arg(writeTimeout());
    text += tr("targets [%1]:").arg(m_targets.size()) + QLatin1Char('\n');
    for (int i = 0; i < m_targets.size(); ++i)
        text += tr("  target %1: %2").arg(i).arg(m_targets.at(i)->toString(true)) + QLatin1Char('\n');
    if (oneLine)
        text.replace(QLatin1Char('\n'), QStringLiteral("; "));
    return text;
}
