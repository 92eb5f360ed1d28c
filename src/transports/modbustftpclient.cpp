#include "modbustftpclient.h"

#include "framing_p.h"
#include "modbusprotocol.h"
#include "tavrexbuslogging_p.h"
#include "tftppacket_p.h"
#include "threadcall_p.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QSignalBlocker>
#include <QtNetwork/QUdpSocket>

ModbusTFtpClient::ModbusTFtpClient(QObject *parent)
    : ModbusTFtpClient(ModbusIpTarget(), parent)
{
}

ModbusTFtpClient::ModbusTFtpClient(const ModbusIpTarget &target, QObject *parent)
    : ModbusIpTransport(TavrexBus::ClientBus, target.address(), target.port(), parent)
    , m_target(target)
{
    m_target.setParent(this);
    // The socket thread reads the peer from the target, so it changes between exchanges only.
    connect(this, &ModbusIpTransport::addressChanged, this, [this] {
        const std::lock_guard locker(m_sendMutex);
        m_target.setAddress(address());
    }, Qt::DirectConnection);
    connect(this, &ModbusIpTransport::portChanged, this, [this] {
        const std::lock_guard locker(m_sendMutex);
        m_target.setPort(port());
    }, Qt::DirectConnection);
    m_socket = new QUdpSocket;
    // Answers are decoded inside the socket's waits, on the socket thread.
    connect(m_socket, &QUdpSocket::readyRead, this, &ModbusTFtpClient::onReadyRead, Qt::DirectConnection);
    connect(m_socket, &QAbstractSocket::disconnected, this, &ModbusTFtpClient::onSocketDisconnected,
            Qt::QueuedConnection);
    m_socket->moveToThread(&m_socketThread);
    m_socketThread.setObjectName(QStringLiteral("Modbus TFTP socket thread"));
    m_socketThread.start();
}

ModbusTFtpClient::~ModbusTFtpClient()
{
    withdraw();
    if (connected())
        disconnectTransport();
    m_socket->disconnect(this);
    m_socket->deleteLater();
    m_socketThread.quit();
    m_socketThread.wait();
}

QString ModbusTFtpClient::tftpErrorStr(quint16 code)
{
    return TftpPacket::errorText(code);
}

Target *ModbusTFtpClient::clientTarget()
{
    return &m_target;
}

ModbusBytes ModbusTFtpClient::packBytes(const ModbusBytes &frame) const
{
    return TftpPacket::readRequest(frame);
}

int ModbusTFtpClient::bytesAvailable(const Target *target)
{
    const std::lock_guard locker(m_sendMutex);
    if (!connected())
        return 0;
    if (!hasTarget(target)) {
        setErrorString(tr("unknown target"));
        return 0;
    }
    return int(resultOnOwnerThread(m_socket, [this] { return m_socket->bytesAvailable(); }));
}

bool ModbusTFtpClient::sendBytes(const ModbusBytes &bytes, ModbusBytes *answer, QString *error)
{
    return sendBytes(bytes, &m_target, answer, error);
}

bool ModbusTFtpClient::sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                                 QString *error)
{
    const std::lock_guard locker(m_sendMutex);
    if (!checkCanSendBytes(target, error))
        return false;
    QString failure;
    bool sent = false;
    callOnOwnerThread(m_socket, [&] { sent = exchange(bytes, answer, failure); }, &failure);
    if (!sent)
        setErrorString(failure, error);
    return sent;
}

// On the socket thread. After an exchange that got no answer, a fresh local port: its answer may
// still come and must not be taken for this one's. Otherwise what is pending is dropped. A socket
// that could not be bound again is bound at the next exchange.
bool ModbusTFtpClient::exchange(const ModbusBytes &bytes, ModbusBytes *answer, QString &failure)
{
    if (m_answerMayBeLate || m_socket->state() != QAbstractSocket::BoundState) {
        QString bindError;
        if (!openSocket(bindError)) {
            qCWarning(lcTftp) << "can't bind udp socket:" << bindError;
            failure = tr("can't send bytes - socket is not connected");
            return false;
        }
        m_answerMayBeLate = false;
    }
    while (m_socket->hasPendingDatagrams() && m_socket->readDatagram(nullptr, 0) >= 0) {
    }
    const ModbusBytes packet = packBytes(bytes);
    if (m_socket->writeDatagram(packet, m_target.address(), quint16(m_target.port())) != packet.size()) {
        failure = tr("error while sending bytes: %1").arg(m_socket->errorString());
        return false;
    }
    emit bytesSent(bytes, &m_target);
    if (!answer)
        return true;
    if (!awaitAnswer(failure)) {
        m_answerMayBeLate = true;
        return false;
    }
    const QByteArray &ack = TftpPacket::acknowledge();
    m_socket->writeDatagram(ack, m_target.address(), m_answerPort);
    *answer = m_answerBuffer;
    return true;
}

bool ModbusTFtpClient::awaitAnswer(QString &failure)
{
    m_receipt = Receipt::Waiting;
    m_awaiting = true;
    const QDeadlineTimer deadline(readAnswerTimeout());
    while (m_receipt == Receipt::Waiting && !deadline.hasExpired()
           && m_socket->waitForReadyRead(int(deadline.remainingTime())))
        onReadyRead();
    m_awaiting = false;
    switch (m_receipt) {
    case Receipt::Answer:
        return true;
    case Receipt::Failure:
        failure = m_failure;
        return false;
    case Receipt::Waiting:
        break;
    }
    failure = tr("read answer timeout: %1").arg(m_socket->errorString());
    return false;
}

// Binds the socket anew to a free local port, of the target's address family.
bool ModbusTFtpClient::openSocket(QString &failure)
{
    const QSignalBlocker blocker(m_socket);
    m_socket->close();
    const bool ipv4 = m_target.address().protocol() == QAbstractSocket::IPv4Protocol;
    if (m_socket->bind(ipv4 ? QHostAddress::AnyIPv4 : QHostAddress::AnyIPv6, 0))
        return true;
    failure = m_socket->errorString();
    return false;
}

void ModbusTFtpClient::onReadyRead()
{
    while (m_socket->hasPendingDatagrams()) {
        QByteArray packet(qMax<qint64>(m_socket->pendingDatagramSize(), 0), Qt::Uninitialized);
        QHostAddress from;
        quint16 fromPort = 0;
        const qint64 size = m_socket->readDatagram(packet.data(), packet.size(), &from, &fromPort);
        if (size < 0)
            return;
        packet.truncate(size);
        if (!m_awaiting || m_receipt != Receipt::Waiting)
            qCDebug(lcTftp) << "datagram outside an exchange dropped:" << Framing::hexText(packet);
        else if (!from.isEqual(m_target.address(), QHostAddress::TolerantConversion))
            qCDebug(lcTftp) << "datagram from" << from.toString() << "dropped:" << Framing::hexText(packet);
        else if (!packet.isEmpty())
            takeAnswer(packet, fromPort);
    }
}

// A TFTP server may answer from a port of its own (its transfer ID); the acknowledgement goes there.
void ModbusTFtpClient::takeAnswer(const QByteArray &packet, quint16 fromPort)
{
    m_answerBuffer.clear();
    if (packet.size() < TftpPacket::MinAnswerSize) {
        fail(tr("tftp packet if too small: %1").arg(Framing::hexText(packet)));
        return;
    }
    const quint16 opcode = TftpPacket::opcode(packet);
    switch (opcode) {
    case TftpPacket::Acknowledge:
        return;
    case TftpPacket::Error:
        fail(tr("error from TFtp server received: %1").arg(tftpErrorStr(TftpPacket::argument(packet))));
        return;
    case TftpPacket::Data:
        break;
    default:
        fail(tr("unsupported tftp packet type: %1").arg(opcode));
        return;
    }
    const quint16 block = TftpPacket::argument(packet);
    if (block != 1) {
        fail(tr("unexpected tftp data block: %1").arg(block));
        return;
    }
    const qsizetype frameSize = packet.size() - TftpPacket::HeaderSize;
    if (frameSize > ModbusProtocol::MaxRtuFrameSize) {
        fail(tr("tftp answer too long: %1 bytes").arg(frameSize));
        return;
    }
    m_answerBuffer = ModbusBytes(packet.mid(TftpPacket::HeaderSize));
    m_answerPort = fromPort;
    m_receipt = Receipt::Answer;
    emit bytesReceived(m_answerBuffer, &m_target);
}

void ModbusTFtpClient::fail(const QString &message)
{
    m_failure = message;
    m_receipt = Receipt::Failure;
}

bool ModbusTFtpClient::connectTransportInternal()
{
    m_disconnecting = false;
    QString failure;
    bool bound = false;
    const std::lock_guard locker(m_sendMutex);
    if (!callOnOwnerThread(m_socket, [&] { bound = openSocket(failure); }, &failure) || !bound) {
        setConnectError(tr("can't connect to: %1, %2").arg(m_target.addressStr(), failure));
        return false;
    }
    return true;
}

bool ModbusTFtpClient::disconnectTransportInternal()
{
    m_disconnecting = true;
    QString failure;
    bool closed = false;
    const std::lock_guard locker(m_sendMutex);
    callOnOwnerThread(m_socket, [&] {
        m_socket->close();
        closed = m_socket->state() == QAbstractSocket::UnconnectedState;
        failure = m_socket->errorString();
    }, &failure);
    if (!closed) {
        setErrorString(tr("can't disconnect udp socket: %1, %2").arg(m_target.addressStr(), failure));
        return false;
    }
    return true;
}

void ModbusTFtpClient::onSocketDisconnected()
{
    if (m_disconnecting)
        return;
    autoDisconnect();
}

QString ModbusTFtpClient::toString(bool oneLine) const
{
    return describe(tr("Modbus TFtp client"), tr("target: %1\n").arg(m_target.toString(true)) + timeoutsText(true),
                    oneLine);
}
