#include "modbustftpserver.h"

#include "modbusiptarget.h"
#include "tftppacket_p.h"

ModbusTFtpServer::ModbusTFtpServer(QObject *parent)
    : ModbusTFtpServer(69, parent)
{
}

ModbusTFtpServer::ModbusTFtpServer(int port, QObject *parent)
    : ModbusIpTransport(TavrexBus::ServerBus, QHostAddress(QHostAddress::AnyIPv4), port, parent)
{
    m_socket.setParent(this);
    connect(&m_socket, &QUdpSocket::readyRead, this, &ModbusTFtpServer::onReadyRead);
}

ModbusTFtpServer::~ModbusTFtpServer()
{
    withdraw();
    if (connected())
        disconnectTransport();
    m_socket.disconnect(this);
}

QString ModbusTFtpServer::tftpErrorStr(quint16 code)
{
    return TftpPacket::errorText(code);
}

bool ModbusTFtpServer::hasTarget(const Target *target)
{
    return target && target == m_currentTarget;
}

int ModbusTFtpServer::targetsCount() const
{
    return m_currentTarget ? 1 : 0;
}

int ModbusTFtpServer::bytesAvailable(const Target *target)
{
    if (!connected())
        return 0;
    if (!hasTarget(target)) {
        setErrorString(tr("unknown target"));
        return 0;
    }
    return int(m_socket.bytesAvailable());
}

ModbusBytes ModbusTFtpServer::packBytes(const ModbusBytes &frame) const
{
    return TftpPacket::dataBlock(frame);
}

ModbusBytes ModbusTFtpServer::depackBytes(const ModbusBytes &datagram)
{
    m_requestBuffer.clear();
    const quint16 opcode = TftpPacket::opcode(datagram);
    switch (opcode) {
    case TftpPacket::ReadRequest:
        if (!TftpPacket::requestFrame(datagram, m_requestBuffer))
            setErrorString(tr("invalid modbus tftp data request"));
        break;
    case TftpPacket::Acknowledge:
        break;
    case TftpPacket::Error:
        setErrorString(tr("error from TFtp server received: %1").arg(tftpErrorStr(TftpPacket::argument(datagram))));
        break;
    default:
        setErrorString(tr("unsupporter tftp packet type: %1").arg(opcode));
        break;
    }
    return m_requestBuffer;
}

bool ModbusTFtpServer::connectTransportInternal()
{
    if (!m_socket.bind(address(), quint16(port()), QAbstractSocket::ReuseAddressHint)) {
        setConnectError(tr("error binding udp socket %1: %2").arg(port()).arg(m_socket.errorString()));
        return false;
    }
    setPort(m_socket.localPort());
    return true;
}

bool ModbusTFtpServer::disconnectTransportInternal()
{
    m_socket.close();
    if (m_socket.state() != QAbstractSocket::UnconnectedState) {
        setErrorString(tr("can't disconnect udp socket: %1, %2").arg(addressStr(), m_socket.errorString()));
        return false;
    }
    return true;
}

// Serves every pending datagram: one notification may stand for several.
void ModbusTFtpServer::onReadyRead()
{
    QByteArray datagram;
    QHostAddress sender;
    quint16 senderPort = 0;
    while (m_socket.hasPendingDatagrams() && readDatagram(datagram, sender, senderPort))
        serve(datagram, sender, senderPort);
}

bool ModbusTFtpServer::readDatagram(QByteArray &datagram, QHostAddress &sender, quint16 &senderPort)
{
    m_requestBuffer.clear();
    const qint64 announced = qMax<qint64>(m_socket.pendingDatagramSize(), 0);
    datagram.resize(announced);
    const qint64 size = m_socket.readDatagram(datagram.data(), announced, &sender, &senderPort);
    if (size < announced) {
        setErrorString(tr("failed to read datagram: %1").arg(m_socket.errorString()));
        return size >= 0;
    }
    return true;
}

void ModbusTFtpServer::serve(const QByteArray &datagram, const QHostAddress &sender, quint16 senderPort)
{
    const ModbusBytes request = depackBytes(ModbusBytes(datagram));
    if (request.isEmpty()) {
        // Stock TFTP clients give up at once on an ERROR instead of retrying for half a minute.
        const quint16 opcode = TftpPacket::opcode(datagram);
        if (opcode == TftpPacket::ReadRequest)
            refuse(errorString(), 1, sender, senderPort);
        else if (opcode != TftpPacket::Acknowledge && opcode != TftpPacket::Error)
            refuse(errorString(), 4, sender, senderPort);
        return;
    }
    const ModbusIpTarget target(sender, senderPort);
    m_currentTarget = &target;
    emit bytesReceived(request, &target);
    ModbusBytes answerBytes;
    emit requestBytesReceived(request, &target, &answerBytes);
    if (!answerBytes.isEmpty())
        sendBytes(answerBytes, &target, nullptr, nullptr);
    m_currentTarget = nullptr;
}

void ModbusTFtpServer::refuse(const QString &message, quint16 code, const QHostAddress &sender, quint16 senderPort)
{
    m_socket.writeDatagram(TftpPacket::error(code, message), sender, senderPort);
}

bool ModbusTFtpServer::sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                                 QString *error)
{
    if (!checkCanSendBytes(target, error))
        return false;
    if (m_socket.state() != QAbstractSocket::BoundState) {
        setErrorString(tr("can't send bytes - socket is not connected: %1").arg(int(m_socket.state())), error);
        return false;
    }
    const auto *peer = static_cast<const ModbusIpTarget *>(target);
    const ModbusBytes packet = packBytes(bytes);
    if (m_socket.writeDatagram(packet, peer->address(), quint16(peer->port())) != packet.size()) {
        setErrorString(tr("error while sending bytes: %1").arg(m_socket.errorString()), error);
        return false;
    }
    emit bytesSent(bytes, target);
    if (!answer)
        return true;
    // The next request is taken here, not served by onReadyRead.
    const QSignalBlocker blocker(&m_socket);
    QByteArray datagram;
    QHostAddress sender;
    quint16 senderPort = 0;
    if (!m_socket.hasPendingDatagrams() && !m_socket.waitForReadyRead(readAnswerTimeout())) {
        setErrorString(tr("read answer timeout: %1").arg(m_socket.errorString()), error);
        return false;
    }
    if (readDatagram(datagram, sender, senderPort))
        depackBytes(ModbusBytes(datagram));
    *answer = m_requestBuffer;
    return true;
}

QString ModbusTFtpServer::toString(bool oneLine) const
{
    return describe(tr("Modbus TFtp server"),
                    tr("address: %1\nport: %2\n").arg(addressStr()).arg(port()) + timeoutsText(false), oneLine);
}
