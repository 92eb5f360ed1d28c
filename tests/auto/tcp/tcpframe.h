#ifndef TCPFRAME_H
#define TCPFRAME_H

// What the Modbus/TCP suites share: hand-built frames, servers that answer them, and plain peers.

#include "modbustcpstream_p.h"

#include <TavrexBus1/modbustcpserver.h>

#include <QtCore/QByteArray>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>

// A Modbus/TCP frame built by hand, so that tests do not check our framing with itself.
inline QByteArray tcpFrame(quint16 transactionId, quint8 unit, const QByteArray &pdu)
{
    QByteArray frame;
    const int length = int(pdu.size()) + 1;
    frame.append(char(transactionId >> 8)).append(char(transactionId & 0xFF)).append(2, '\0');
    frame.append(char(length >> 8)).append(char(length & 0xFF)).append(char(unit)).append(pdu);
    return frame;
}

inline const QByteArray readOneRegister = QByteArray::fromHex("0300000001");
inline const QByteArray fortyTwo = QByteArray::fromHex("0302002A");

// Answers every request with answerPdu, under the request's identifier and unit.
inline void answerWith(ModbusTcpServer &server, const QByteArray &answerPdu)
{
    QObject::connect(&server, &Transport::requestBytesReceived, &server,
                     [answerPdu](ModbusBytes request, const Target *, ModbusBytes *answer) {
                         *answer = tcpFrame(ModbusTcpStream::transactionId(request), quint8(request.at(6)),
                                            answerPdu);
                     });
}

// A server listening on a free port of 127.0.0.1; with an answer, it gives that to every request.
inline std::unique_ptr<ModbusTcpServer> startServer(const QByteArray &answerPdu = QByteArray())
{
    auto server = std::make_unique<ModbusTcpServer>(0);
    server->setAddress(QHostAddress::LocalHost);
    if (!answerPdu.isEmpty())
        answerWith(*server, answerPdu);
    if (!server->connectTransport(false))
        qWarning() << server->errorString();
    return server;
}

inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A plain socket to the server, as any peer could open one.
inline std::unique_ptr<QTcpSocket> connectPeer(const ModbusTcpServer &server)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, quint16(server.port()));
    if (!socket->waitForConnected(5000))
        qWarning() << socket->errorString();
    return socket;
}

// A bare descriptor, for peers that must misbehave below Qt; a receive buffer must be set before connecting.
inline int rawConnection(quint16 port, bool blocking, int receiveBuffer = 0)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (!blocking)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    return fd;
}

#endif
