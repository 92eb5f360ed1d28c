#include "modbustcpstream_p.h"

#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustcpserver.h>
#include <TavrexBus1/modbustcptarget.h>
#include <TavrexBus1/modbustransporter.h>
#include <TavrexBus1/modbustranslateoptions.h>

#include <QtCore/QRandomGenerator>
#include <QtCore/QThread>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

QByteArray tcpFrame(quint16 transactionId, quint8 unit, const QByteArray &pdu)
{
    QByteArray frame;
    const int length = int(pdu.size()) + 1;
    frame.append(char(transactionId >> 8)).append(char(transactionId & 0xFF)).append(2, '\0');
    frame.append(char(length >> 8)).append(char(length & 0xFF)).append(char(unit)).append(pdu);
    return frame;
}

const QByteArray readOneRegister = QByteArray::fromHex("0300000001");
const QByteArray fortyTwo = QByteArray::fromHex("0302002A");

// Answers every request with register value 42, under the request's identifier and unit.
void answerFortyTwo(ModbusTcpServer &server)
{
    QObject::connect(&server, &Transport::requestBytesReceived, &server,
                     [](ModbusBytes request, const Target *, ModbusBytes *answer) {
                         *answer = tcpFrame(ModbusTcpStream::transactionId(request), quint8(request.at(6)),
                                            fortyTwo);
                     });
}

struct Exchange
{
    bool ok = false;
    ModbusBytes answer;
    QString error;
};

// Exchanges run on a thread of their own, as the client executor runs them, so that a peer on
// the test's thread keeps answering meanwhile.
Exchange exchange(ModbusTcpClient &client, const ModbusBytes &request)
{
    Exchange result;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        result.ok = client.sendBytes(request, &result.answer, &result.error);
    }));
    worker->start();
    if (!QTest::qWaitFor([&] { return worker->isFinished(); }, 20000))
        qFatal("exchange did not end");
    worker->wait();
    return result;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class tst_ModbusTcp : public QObject
{
    Q_OBJECT

private Q_SLOTS:

    void streamCutsWholeFrames_data();
    void streamCutsWholeFrames();
    void streamSurvivesRandomInput();

    void exchangeAnswersRequest();
    void transactionIdsAreEchoedAndCountUp();
    void severalClientsShareOneServer();
    void frameSplitAcrossSegmentsIsAssembled();
    void framesJoinedInOneSegmentAreAnsweredInOrder();
    void answersOutrunningASlowReaderStayWholeAndInOrder();
    void implausibleHeaderIsDropped_data();
    void implausibleHeaderIsDropped();
    void partialFrameIsDroppedAfterSilence();
    void lateAnswerIsSkipped();
    void peerClosingMidExchangeFailsIt();
    void serverStoppedWhileClientWaits();
    void connectionRefusedIsReported();
    void refusedPeerLeavesNoTarget();
    void peerLossRemovesOnlyItsTarget();
    void clientReconnectsAfterLoss();
    void forcedConnectRetriesSilentlyUntilServerListens();
    void sendWhileDisconnectedIsRefused();
    void addressTextThatIsNoAddressChangesNothing();
    void diagnosticTexts();
    void serverSendsToOnePeerAndWaitsForItsAnswer();
    void modbuserMakesTcpLinks();

private:
    std::unique_ptr<ModbusTcpServer> startServer();
    std::unique_ptr<ModbusTcpClient> connectClient(quint16 port);
    std::unique_ptr<QTcpSocket> connectRaw(quint16 port);
};

std::unique_ptr<ModbusTcpServer> tst_ModbusTcp::startServer()
{
    auto server = std::make_unique<ModbusTcpServer>(0);
    server->setAddress(QHostAddress::LocalHost);
    if (!server->connectTransport(false))
        qWarning() << server->errorString();
    return server;
}

std::unique_ptr<ModbusTcpClient> tst_ModbusTcp::connectClient(quint16 port)
{
    auto client = std::make_unique<ModbusTcpClient>(QHostAddress::LocalHost, port);
    client->setAutoReconnect(false);
    if (!client->connectTransport(false))
        qWarning() << client->errorString();
    return client;
}

std::unique_ptr<QTcpSocket> tst_ModbusTcp::connectRaw(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    if (!socket->waitForConnected(5000))
        qWarning() << socket->errorString();
    return socket;
}

void tst_ModbusTcp::streamCutsWholeFrames_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<int>("lastResult");
    QTest::addColumn<int>("left");

    const QByteArray a = tcpFrame(1, 1, readOneRegister);
    const QByteArray b = tcpFrame(2, 17, QByteArray::fromHex("0600010005"));
    QTest::newRow("one frame") << QList<QByteArray>{ a } << QList<QByteArray>{ a }
                               << int(ModbusTcpStream::Incomplete) << 0;
    QTest::newRow("split inside the header") << QList<QByteArray>{ a.left(3), a.mid(3) } << QList<QByteArray>{ a }
                                             << int(ModbusTcpStream::Incomplete) << 0;
    QTest::newRow("split inside the body") << QList<QByteArray>{ a.left(9), a.mid(9) } << QList<QByteArray>{ a }
                                           << int(ModbusTcpStream::Incomplete) << 0;
    QTest::newRow("two frames in one read") << QList<QByteArray>{ a + b } << QList<QByteArray>{ a, b }
                                            << int(ModbusTcpStream::Incomplete) << 0;
    QTest::newRow("frame and a half") << QList<QByteArray>{ a + b.left(4) } << QList<QByteArray>{ a }
                                      << int(ModbusTcpStream::Incomplete) << 4;
    QTest::newRow("protocol id not zero") << QList<QByteArray>{ QByteArray::fromHex("00010001000601") }
                                          << QList<QByteArray>{} << int(ModbusTcpStream::Garbage) << 0;
    QTest::newRow("zero length") << QList<QByteArray>{ QByteArray::fromHex("000100000000") }
                                 << QList<QByteArray>{} << int(ModbusTcpStream::Garbage) << 0;
    QTest::newRow("length 255") << QList<QByteArray>{ QByteArray::fromHex("0001000000FF01") }
                                << QList<QByteArray>{} << int(ModbusTcpStream::Garbage) << 0;
    QTest::newRow("length 254 waits") << QList<QByteArray>{ QByteArray::fromHex("0001000000FE01") }
                                      << QList<QByteArray>{} << int(ModbusTcpStream::Incomplete) << 7;
    QTest::newRow("garbage after a frame") << QList<QByteArray>{ a + QByteArray::fromHex("FFFFFFFF") }
                                           << QList<QByteArray>{ a } << int(ModbusTcpStream::Garbage) << 0;
}

void tst_ModbusTcp::streamCutsWholeFrames()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(int, lastResult);
    QFETCH(int, left);

    ModbusTcpStream stream;
    QList<QByteArray> taken;
    ModbusTcpStream::Result result = ModbusTcpStream::Incomplete;
    QString error;
    for (const QByteArray &chunk : chunks) {
        stream.append(chunk);
        ModbusBytes frame;
        while ((result = stream.takeFrame(frame, &error)) == ModbusTcpStream::Frame)
            taken.append(frame);
    }
    QCOMPARE(taken, frames);
    QCOMPARE(int(result), lastResult);
    QCOMPARE(stream.size(), left);
    if (result == ModbusTcpStream::Garbage)
        QVERIFY2(error.startsWith(QLatin1String("ModbusTCPParser parse error: ")), qPrintable(error));
}

void tst_ModbusTcp::streamSurvivesRandomInput()
{
    QRandomGenerator random(20240611);
    ModbusTcpStream stream;
    for (int round = 0; round < 20000; ++round) {
        QByteArray chunk(int(random.bounded(1, 40)), Qt::Uninitialized);
        for (char &byte : chunk)
            byte = char(random.bounded(random.bounded(2) ? 3 : 256));
        stream.append(chunk);
        ModbusBytes frame;
        ModbusTcpStream::Result result;
        while ((result = stream.takeFrame(frame)) == ModbusTcpStream::Frame) {
            QCOMPARE(frame.at(2), '\0');
            QCOMPARE(frame.at(3), '\0');
            QCOMPARE(int(frame.size()), 6 + (uchar(frame.at(4)) << 8 | uchar(frame.at(5))));
        }
        QVERIFY(stream.size() < 6 + ModbusTcpStream::maxLength);
    }
}

void tst_ModbusTcp::exchangeAnswersRequest()
{
    auto server = startServer();
    answerFortyTwo(*server);
    QSignalSpy added(server.get(), &Transport::targetAdded);
    auto client = connectClient(quint16(server->port()));
    QVERIFY(client->connected());
    QTRY_COMPARE(server->targetsCount(), 1);
    QCOMPARE(added.count(), 1);

    QSignalSpy sent(client.get(), &Transport::bytesSent);
    QSignalSpy received(client.get(), &Transport::bytesReceived);
    const QByteArray request = tcpFrame(0, 5, readOneRegister);
    const Exchange result = exchange(*client, request);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(QByteArray(result.answer), tcpFrame(0, 5, fortyTwo));
    QTRY_COMPARE(sent.count(), 1);
    QCOMPARE(sent.first().first().value<ModbusBytes>(), ModbusBytes(request));
    QCOMPARE(received.count(), 1);
}

void tst_ModbusTcp::transactionIdsAreEchoedAndCountUp()
{
    auto server = startServer();
    QList<quint16> seenByServer;
    connect(server.get(), &Transport::requestBytesReceived, server.get(),
            [&](ModbusBytes request, const Target *target, ModbusBytes *answer) {
                seenByServer.append(qobject_cast<const ModbusTcpTarget *>(target)->transactionID());
                *answer = tcpFrame(ModbusTcpStream::transactionId(request), 1, fortyTwo);
            });
    auto client = connectClient(quint16(server->port()));
    auto *target = qobject_cast<ModbusTcpTarget *>(client->clientTarget());
    target->setTransactionID(65534);
    for (int i = 0; i < 3; ++i) {
        const Exchange result = exchange(*client, tcpFrame(target->transactionID(), 1, readOneRegister));
        QVERIFY2(result.ok, qPrintable(result.error));
    }
    QCOMPARE(seenByServer, (QList<quint16>{ 65534, 65535, 0 }));
    QCOMPARE(target->transactionID(), quint16(1));
}

void tst_ModbusTcp::severalClientsShareOneServer()
{
    auto server = startServer();
    answerFortyTwo(*server);
    std::vector<std::unique_ptr<ModbusTcpClient>> clients;
    for (int i = 0; i < 3; ++i)
        clients.push_back(connectClient(quint16(server->port())));
    QTRY_COMPARE(server->targetsCount(), 3);
    for (quint8 unit = 1; unit <= 3; ++unit) {
        const Exchange result = exchange(*clients.at(unit - 1), tcpFrame(7, unit, readOneRegister));
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(QByteArray(result.answer), tcpFrame(7, unit, fortyTwo));
    }
    QSignalSpy removed(server.get(), &Transport::targetRemoved);
    QVERIFY(clients.at(1)->disconnectTransport());
    QTRY_COMPARE(server->targetsCount(), 2);
    QCOMPARE(removed.count(), 1);
    const Exchange still = exchange(*clients.at(2), tcpFrame(8, 3, readOneRegister));
    QVERIFY2(still.ok, qPrintable(still.error));
}

void tst_ModbusTcp::frameSplitAcrossSegmentsIsAssembled()
{
    auto server = startServer();
    QSignalSpy requests(server.get(), &Transport::requestBytesReceived);
    answerFortyTwo(*server);
    auto peer = connectRaw(quint16(server->port()));
    const QByteArray request = tcpFrame(3, 1, readOneRegister);

    peer->write(request.left(5));
    QVERIFY(peer->waitForBytesWritten(5000));
    QTRY_COMPARE(QByteArray(server->lastChunk()), request.left(5));
    QCOMPARE(requests.count(), 0);

    peer->write(request.mid(5));
    QVERIFY(peer->waitForBytesWritten(5000));
    QTRY_COMPARE(requests.count(), 1);
    QCOMPARE(requests.first().first().value<ModbusBytes>(), ModbusBytes(request));
    QTRY_COMPARE(peer->bytesAvailable(), qint64(tcpFrame(3, 1, fortyTwo).size()));
    QCOMPARE(peer->readAll(), tcpFrame(3, 1, fortyTwo));
}

void tst_ModbusTcp::framesJoinedInOneSegmentAreAnsweredInOrder()
{
    auto server = startServer();
    answerFortyTwo(*server);
    auto peer = connectRaw(quint16(server->port()));
    peer->write(tcpFrame(10, 1, readOneRegister) + tcpFrame(11, 2, readOneRegister));
    const QByteArray expected = tcpFrame(10, 1, fortyTwo) + tcpFrame(11, 2, fortyTwo);
    QTRY_COMPARE(peer->bytesAvailable(), qint64(expected.size()));
    QCOMPARE(peer->readAll(), expected);
}

// Pipelined requests make the server answer faster than a peer with a small receive buffer
// reads, so answers back up in the kernel and then in the socket's own buffer.
void tst_ModbusTcp::answersOutrunningASlowReaderStayWholeAndInOrder()
{
    constexpr int requests = 20000;
    const QByteArray registers = QByteArray::fromHex("03FA") + QByteArray(250, '\x5A');
    auto server = startServer();
    server->setWriteTimeout(20000);
    QObject::connect(server.get(), &Transport::requestBytesReceived, server.get(),
                     [&](ModbusBytes request, const Target *, ModbusBytes *answer) {
                         *answer = tcpFrame(ModbusTcpStream::transactionId(request), 1, registers);
                     });
    QByteArray pipeline;
    QByteArray expected;
    for (int i = 0; i < requests; ++i) {
        pipeline += tcpFrame(quint16(i), 1, readOneRegister);
        expected += tcpFrame(quint16(i), 1, registers);
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(server->port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    QByteArray received;
    std::atomic_bool done{false};
    std::thread peer([&] {
        ::send(fd, pipeline.constData(), size_t(pipeline.size()), 0);
        char chunk[512];
        while (received.size() < expected.size()) {
            const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
            if (got <= 0)
                break;
            received.append(chunk, got);
        }
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done, 60000);
    peer.join();
    ::close(fd);
    QCOMPARE(received.size(), expected.size());
    QVERIFY(received == expected);
}

void tst_ModbusTcp::implausibleHeaderIsDropped_data()
{
    QTest::addColumn<QByteArray>("bad");
    QTest::addColumn<QString>("reason");
    QTest::newRow("protocol id 1") << QByteArray::fromHex("000100010006010300000001")
                                   << QStringLiteral("invalid Protocol ID");
    QTest::newRow("zero length") << QByteArray::fromHex("000100000000") << QStringLiteral("zero Length");
    QTest::newRow("length 300") << QByteArray::fromHex("00010000012C01030000") + QByteArray(290, '\x01')
                                << QStringLiteral("bytes array is too long");
}

void tst_ModbusTcp::implausibleHeaderIsDropped()
{
    QFETCH(QByteArray, bad);
    QFETCH(QString, reason);
    auto server = startServer();
    answerFortyTwo(*server);
    QSignalSpy errors(server.get(), &ErrObject::error);
    auto peer = connectRaw(quint16(server->port()));
    peer->write(bad);
    QVERIFY(errors.wait(5000));
    const QString message = errors.first().first().toString();
    QVERIFY2(message.startsWith(QStringLiteral("ModbusTCPParser parse error: %1; bytes: ").arg(reason)),
             qPrintable(message));

    // The peer stays connected and its next request is answered.
    peer->write(tcpFrame(4, 1, readOneRegister));
    QTRY_COMPARE(peer->bytesAvailable(), qint64(tcpFrame(4, 1, fortyTwo).size()));
    QCOMPARE(peer->readAll(), tcpFrame(4, 1, fortyTwo));
}

void tst_ModbusTcp::partialFrameIsDroppedAfterSilence()
{
    auto server = startServer();
    server->setReadAnswerTimeout(100);
    answerFortyTwo(*server);
    QSignalSpy errors(server.get(), &ErrObject::error);
    auto peer = connectRaw(quint16(server->port()));
    peer->write(tcpFrame(5, 1, readOneRegister).left(8));
    QVERIFY(errors.wait(5000));
    QVERIFY2(errors.first().first().toString().contains(QLatin1String("incomplete request dropped")),
             qPrintable(errors.first().first().toString()));

    peer->write(tcpFrame(6, 1, readOneRegister));
    QTRY_COMPARE(peer->bytesAvailable(), qint64(tcpFrame(6, 1, fortyTwo).size()));
    QCOMPARE(peer->readAll(), tcpFrame(6, 1, fortyTwo));
}

void tst_ModbusTcp::lateAnswerIsSkipped()
{
    QTcpServer device;
    QVERIFY(device.listen(QHostAddress::LocalHost, 0));
    QTcpSocket *accepted = nullptr;
    connect(&device, &QTcpServer::newConnection, this, [&] {
        accepted = device.nextPendingConnection();
        connect(accepted, &QTcpSocket::readyRead, accepted, [accepted] {
            const QByteArray request = accepted->readAll();
            const quint16 id = ModbusTcpStream::transactionId(request);
            // A stale answer to the previous request arrives first, the right one split in two.
            const QByteArray right = tcpFrame(id, 1, fortyTwo);
            accepted->write(tcpFrame(quint16(id - 1), 1, QByteArray::fromHex("03020001")) + right.left(4));
            accepted->flush();
            accepted->write(right.mid(4));
        });
    });
    auto client = connectClient(device.serverPort());
    const Exchange result = exchange(*client, tcpFrame(9, 1, readOneRegister));
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(QByteArray(result.answer), tcpFrame(9, 1, fortyTwo));
}

void tst_ModbusTcp::peerClosingMidExchangeFailsIt()
{
    QTcpServer device;
    QVERIFY(device.listen(QHostAddress::LocalHost, 0));
    connect(&device, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *accepted = device.nextPendingConnection();
        connect(accepted, &QTcpSocket::readyRead, accepted, [accepted] {
            accepted->write(tcpFrame(ModbusTcpStream::transactionId(accepted->readAll()), 1, fortyTwo).left(7));
            accepted->disconnectFromHost();
        });
    });
    auto client = connectClient(device.serverPort());
    QSignalSpy errors(client.get(), &ErrObject::error);
    const Exchange result = exchange(*client, tcpFrame(1, 1, readOneRegister));
    QVERIFY(!result.ok);
    QVERIFY2(result.error.startsWith(QLatin1String("error sending/receiving bytes: ")), qPrintable(result.error));
    QTRY_VERIFY(!client->connected());
    QVERIFY(errors.count() >= 1);
    QVERIFY2(errors.first().first().toString().startsWith(QLatin1String("socket has been disconnected: ")),
             qPrintable(errors.first().first().toString()));
}

void tst_ModbusTcp::serverStoppedWhileClientWaits()
{
    auto server = startServer();
    ModbusTcpServer *raw = server.get();
    connect(raw, &Transport::requestBytesReceived, raw, [raw](ModbusBytes, const Target *, ModbusBytes *) {
        QVERIFY(raw->disconnectTransport());
    });
    auto client = connectClient(quint16(server->port()));
    QTRY_COMPARE(server->targetsCount(), 1);
    const Exchange result = exchange(*client, tcpFrame(1, 1, readOneRegister));
    QVERIFY(!result.ok);
    QVERIFY2(result.error.startsWith(QLatin1String("error sending/receiving bytes: ")), qPrintable(result.error));
    QVERIFY(!server->connected());
    QCOMPARE(server->targetsCount(), 0);
    QTRY_VERIFY(!client->connected());
}

void tst_ModbusTcp::connectionRefusedIsReported()
{
    const quint16 port = freePort();
    ModbusTcpClient client(QHostAddress::LocalHost, port);
    QSignalSpy errors(&client, &ErrObject::error);
    QVERIFY(!client.connectTransport(false));
    QVERIFY(!client.connected());
    QTRY_COMPARE(errors.count(), 1);
    const QString message = errors.first().first().toString();
    QVERIFY2(message.startsWith(QLatin1String("can't connect to: 127.0.0.1, ")), qPrintable(message));
    QVERIFY(message.size() > int(qstrlen("can't connect to: 127.0.0.1, ")));
}

void tst_ModbusTcp::refusedPeerLeavesNoTarget()
{
    auto server = startServer();
    connect(server.get(), &ModbusTcpServer::newClientConnection, this,
            [](ModbusTcpTarget *, bool &allow) { allow = false; });
    QSignalSpy added(server.get(), &Transport::targetAdded);
    auto peer = connectRaw(quint16(server->port()));
    QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(server->targetsCount(), 0);
    QCOMPARE(added.count(), 0);
}

void tst_ModbusTcp::peerLossRemovesOnlyItsTarget()
{
    auto server = startServer();
    QSignalSpy removed(server.get(), &Transport::targetRemoved);
    auto first = connectRaw(quint16(server->port()));
    auto second = connectRaw(quint16(server->port()));
    QTRY_COMPARE(server->targetsCount(), 2);
    first->disconnectFromHost();
    QTRY_COMPARE(server->targetsCount(), 1);
    QCOMPARE(removed.count(), 1);

    answerFortyTwo(*server);
    second->write(tcpFrame(2, 1, readOneRegister));
    QTRY_COMPARE(second->bytesAvailable(), qint64(tcpFrame(2, 1, fortyTwo).size()));
}

void tst_ModbusTcp::clientReconnectsAfterLoss()
{
    auto server = startServer();
    answerFortyTwo(*server);
    auto client = connectClient(quint16(server->port()));
    client->setAutoReconnect(true);
    client->setAutoReconnectInterval(20);
    QTRY_COMPARE(server->targetsCount(), 1);
    QSignalSpy errors(client.get(), &ErrObject::error);
    QSignalSpy connectedChanges(client.get(), &Transport::connectedChanged);

    QVERIFY(server->disconnectTransport());
    QTRY_VERIFY(connectedChanges.count() >= 1);
    QVERIFY(server->connectTransport(false));
    QTRY_VERIFY_WITH_TIMEOUT(client->connected() && server->targetsCount() == 1, 10000);
    const Exchange result = exchange(*client, tcpFrame(1, 1, readOneRegister));
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(errors.count(), 1);
    QVERIFY(errors.first().first().toString().startsWith(QLatin1String("socket has been disconnected: ")));
}

void tst_ModbusTcp::forcedConnectRetriesSilentlyUntilServerListens()
{
    const quint16 port = freePort();
    ModbusTcpClient client(QHostAddress::LocalHost, port);
    client.setAutoReconnectInterval(20);
    client.setConnectTimeout(200);
    QSignalSpy errors(&client, &ErrObject::error);
    QVERIFY(!client.connectTransport(true));
    QTRY_COMPARE(errors.count(), 1);
    QVERIFY(errors.first().first().toString().startsWith(QLatin1String("can't connect to: 127.0.0.1, ")));

    ModbusTcpServer server(port);
    server.setAddress(QHostAddress::LocalHost);
    QVERIFY2(server.connectTransport(false), qPrintable(server.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(client.connected(), 10000);
    QTRY_COMPARE(server.targetsCount(), 1);
    QCOMPARE(errors.count(), 1);
}

void tst_ModbusTcp::sendWhileDisconnectedIsRefused()
{
    ModbusTcpClient client(QHostAddress::LocalHost, freePort());
    ModbusBytes answer;
    QString error;
    QVERIFY(!client.sendBytes(tcpFrame(1, 1, readOneRegister), &answer, &error));
    QCOMPARE(error, QStringLiteral("can't send bytes via disconnected transport"));
    QVERIFY(answer.isEmpty());
}

void tst_ModbusTcp::addressTextThatIsNoAddressChangesNothing()
{
    ModbusTcpClient client;
    QSignalSpy changed(&client, &ModbusTcpClient::addressChanged);
    client.setAddressStr(QStringLiteral("not an address"));
    QCOMPARE(client.addressStr(), QStringLiteral("127.0.0.1"));
    client.setAddressStr(QStringLiteral("127.0.0.1"));
    QCOMPARE(changed.count(), 0);
    client.setAddressStr(QStringLiteral("10.1.2.3"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(client.port(), 502);
}

void tst_ModbusTcp::serverSendsToOnePeerAndWaitsForItsAnswer()
{
    auto server = startServer();
    server->setReadAnswerTimeout(200);
    QSignalSpy added(server.get(), &Transport::targetAdded);
    auto peer = connectRaw(quint16(server->port()));
    QTRY_COMPARE(added.count(), 1);
    const auto *target = added.first().first().value<const Target *>();
    const QByteArray frame = tcpFrame(1, 1, readOneRegister);

    // The server waits on its own thread, so the peer answers from another one, and only once.
    QThread peerThread;
    QTcpSocket *device = peer.get();
    connect(device, &QTcpSocket::readyRead, device, [device] {
        device->readAll();
        if (device->property("answered").isNull()) {
            device->setProperty("answered", true);
            device->write(tcpFrame(1, 1, fortyTwo));
            device->flush();
        }
    });
    device->moveToThread(&peerThread);
    peerThread.start();
    auto stopPeer = qScopeGuard([&] {
        QMetaObject::invokeMethod(device, [device] { device->moveToThread(QCoreApplication::instance()->thread()); },
                                  Qt::BlockingQueuedConnection);
        peerThread.quit();
        peerThread.wait();
    });

    ModbusBytes answer;
    QString error;
    QVERIFY2(server->sendBytes(frame, target, &answer, &error), qPrintable(error));
    QCOMPARE(QByteArray(answer), tcpFrame(1, 1, fortyTwo));
    QVERIFY(!server->sendBytes(frame, target, &answer, &error));
    QVERIFY2(error.startsWith(QLatin1String("answer timeout: ")), qPrintable(error));

    const ModbusTcpTarget stranger(QHostAddress::LocalHost, 1);
    QVERIFY(!server->sendBytes(frame, &stranger, nullptr, &error));
    QCOMPARE(error, QStringLiteral("incorrect target to send bytes"));
}

void tst_ModbusTcp::diagnosticTexts()
{
    ModbusTcpClient client;
    QCOMPARE(client.toString(false),
             QStringLiteral("transport: Modbus TCP client (modbus client)\nstatus: disconnected\n"
                            "target: address: 127.0.0.1; port: 502; transaction ID: 0; \n"
                            "timeouts:  (connect: 1000; disconnect: 1000; read answer: 1000; write: 1000)\n"));
    ModbusTcpServer idle;
    QCOMPARE(idle.toString(true),
             QStringLiteral("transport: Modbus TCP server (modbus server); status: disconnected; "
                            "address: 0.0.0.0; port: 502; timeouts:  (disconnect: 1000; read answer: 1000; write: 1000); "
                            "targets [0]:; "));

    auto server = startServer();
    auto peer = connectRaw(quint16(server->port()));
    QTRY_COMPARE(server->targetsCount(), 1);
    const QString expected = QStringLiteral("status: connected\naddress: 127.0.0.1; port: %1\n").arg(server->port());
    QVERIFY2(server->toString(false).contains(expected), qPrintable(server->toString(false)));
    const QString target = QStringLiteral("targets [1]:\n  target 0: address: 127.0.0.1; port: %1; transaction ID: 0; \n")
                               .arg(peer->localPort());
    QVERIFY2(server->toString(false).endsWith(target), qPrintable(server->toString(false)));
}

void tst_ModbusTcp::modbuserMakesTcpLinks()
{
    Modbuser device;
    ModbusTcpServer *server = device.addModbusTcpServer(QHostAddress::LocalHost, 0);
    QVERIFY2(server->connectTransport(false), qPrintable(server->errorString()));
    QCOMPARE(server->parent(), static_cast<QObject *>(device.transporter()));
    connect(&device, &Modbuser::onReadRegisters, this,
            [](quint32 address, quint16 count, ModbusBytes &out, ModbusTranslateOptions &, bool &handled) {
                for (quint16 i = 0; i < count; ++i)
                    out.appendUInt16(quint16(address - 400001 + i));
                handled = true;
            });

    Modbuser master;
    ModbusTcpClient *client = master.addModbusTcpClient(QHostAddress::LocalHost, server->port());
    QCOMPARE(master.clientTransport(), client);
    client->setAutoReconnect(false);
    QVERIFY2(client->connectTransport(false), qPrintable(client->errorString()));
    master.setDeviceAddress(17);

    bool ok = false;
    ModbusBytes values;
    std::unique_ptr<QThread> worker(QThread::create([&] { ok = master.readRegisters(400011, 3, values); }));
    worker->start();
    QTRY_VERIFY(worker->isFinished());
    QVERIFY2(ok, qPrintable(master.errorString()));
    QCOMPARE(values, ModbusBytes(QByteArray::fromHex("000A000B000C")));
}

QTEST_GUILESS_MAIN(tst_ModbusTcp)
#include "tst_modbustcp.moc"
