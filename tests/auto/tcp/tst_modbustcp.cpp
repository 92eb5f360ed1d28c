#include "tcpframe.h"

#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustcptarget.h>
#include <TavrexBus1/qtcpsocketinvokable.h>

#include <QtCore/QThread>
#include <QtNetwork/QTcpServer>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace {

struct Exchange
{
    bool ok = false;
    ModbusBytes answer;
    QString error;
};

// Runs work on a worker, as the client executor does, so that a peer on the test's thread
// keeps answering meanwhile.
void onWorker(const std::function<void()> &work)
{
    std::atomic_bool done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done.load(); }, 20000))
        qFatal("exchange did not return");
    worker.join();
}

Exchange exchange(ModbusTcpClient &client, const ModbusBytes &request)
{
    Exchange result;
    onWorker([&] { result.ok = client.sendBytes(request, &result.answer, &result.error); });
    return result;
}

std::unique_ptr<ModbusTcpClient> connectClient(quint16 port)
{
    auto client = std::make_unique<ModbusTcpClient>(QHostAddress::LocalHost, port);
    client->setAutoReconnect(false);
    if (!client->connectTransport(false))
        qWarning() << client->errorString();
    return client;
}

using Reply = std::function<void(QTcpSocket *, const QByteArray &)>;

enum Outcome { Answered, Lost, Silent };

// A plain device on the test thread answering whatever comes in with reply(request).
void serveRaw(QTcpServer &device, QObject *context, Reply reply)
{
    QObject::connect(&device, &QTcpServer::newConnection, context, [&device, reply] {
        QTcpSocket *accepted = device.nextPendingConnection();
        QObject::connect(accepted, &QTcpSocket::readyRead, accepted,
                         [accepted, reply] { reply(accepted, accepted->readAll()); });
    });
}

} // namespace

class tst_ModbusTcp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void streamCutsWholeFrames_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::addColumn<int>("left");
        QTest::addColumn<QString>("error");

        const QByteArray a = tcpFrame(1, 1, readOneRegister);
        const QByteArray b = tcpFrame(2, 17, QByteArray::fromHex("0600010005"));
        QTest::newRow("split header, two frames and a half")
            << QList<QByteArray>{ a.left(3), a.mid(3) + b + a.left(4) } << QList<QByteArray>{ a, b } << 4 << "";
        QTest::newRow("length 254 waits") << QList<QByteArray>{ QByteArray::fromHex("0001000000FE01") }
                                          << QList<QByteArray>{} << 7 << "";
        QTest::newRow("protocol id not zero") << QList<QByteArray>{ QByteArray::fromHex("00010001000601") }
                                              << QList<QByteArray>{} << 0
                                              << "ModbusTCPParser parse error: invalid Protocol ID; bytes: ";
        QTest::newRow("zero length") << QList<QByteArray>{ QByteArray::fromHex("000100000000") } << QList<QByteArray>{}
                                     << 0 << "ModbusTCPParser parse error: zero Length; bytes: ";
        QTest::newRow("length 255") << QList<QByteArray>{ QByteArray::fromHex("0001000000FF01") } << QList<QByteArray>{}
                                    << 0 << "ModbusTCPParser parse error: bytes array is too long; bytes: ";
        QTest::newRow("garbage after a frame") << QList<QByteArray>{ a + QByteArray::fromHex("FFFFFFFF") }
                                               << QList<QByteArray>{ a } << 0
                                               << "ModbusTCPParser parse error: invalid Protocol ID; bytes: ";
    }

    void streamCutsWholeFrames()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<QByteArray>, frames);
        QFETCH(int, left);
        QFETCH(QString, error);

        ModbusTcpStream stream;
        QList<QByteArray> taken;
        ModbusTcpStream::Result result = ModbusTcpStream::Incomplete;
        QString message;
        for (const QByteArray &chunk : chunks) {
            stream.append(chunk);
            ModbusBytes frame;
            while ((result = stream.takeFrame(frame, &message)) == ModbusTcpStream::Frame)
                taken.append(frame);
        }
        QCOMPARE(taken, frames);
        QCOMPARE(stream.size(), left);
        QCOMPARE(result, error.isEmpty() ? ModbusTcpStream::Incomplete : ModbusTcpStream::Garbage);
        QVERIFY2(error.isEmpty() ? message.isEmpty() : message.startsWith(error), qPrintable(message));
    }

    // Each client is answered under its own unit and identifier; identifiers wrap after 65535.
    void clientsShareOneServer()
    {
        auto server = startServer(fortyTwo);
        QList<quint16> seenByServer;
        connect(server.get(), &Transport::requestBytesReceived, server.get(), [&](ModbusBytes, const Target *target) {
            seenByServer.append(qobject_cast<const ModbusTcpTarget *>(target)->transactionID());
        });
        std::vector<std::unique_ptr<ModbusTcpClient>> clients;
        for (int i = 0; i < 3; ++i)
            clients.push_back(connectClient(quint16(server->port())));
        QTRY_COMPARE(server->targetsCount(), 3);
        const auto ask = [](ModbusTcpClient &client, quint16 id, quint8 unit) {
            const Exchange result = exchange(client, tcpFrame(id, unit, readOneRegister));
            QVERIFY2(result.ok, qPrintable(result.error));
            QCOMPARE(QByteArray(result.answer), tcpFrame(id, unit, fortyTwo));
        };
        auto *wrapping = qobject_cast<ModbusTcpTarget *>(clients.front()->clientTarget());
        wrapping->setTransactionID(65534);
        for (int i = 0; i < 3; ++i)
            ask(*clients.front(), wrapping->transactionID(), 1);
        QCOMPARE(wrapping->transactionID(), quint16(1));
        ask(*clients.at(1), 7, 2);
        ask(*clients.at(2), 7, 3);
        QCOMPARE(seenByServer, (QList<quint16>{ 65534, 65535, 0, 7, 7 }));
    }

    void serverTakesWhatAPeerSends_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<int>("silenceMs");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("answers");
        const QByteArray request = tcpFrame(3, 1, readOneRegister);
        const QByteArray next = tcpFrame(4, 1, readOneRegister);
        const QByteArray answer = tcpFrame(4, 1, fortyTwo);
        QTest::newRow("split frame, then two in one segment")
            << QList<QByteArray>{request.left(5), request.mid(5) + tcpFrame(11, 2, readOneRegister)} << 1000 << ""
            << tcpFrame(3, 1, fortyTwo) + tcpFrame(11, 2, fortyTwo);
        QTest::newRow("protocol id 1") << QList<QByteArray>{QByteArray::fromHex("000100010006010300000001"), next}
                                       << 1000 << "ModbusTCPParser parse error: invalid Protocol ID; bytes: " << answer;
        QTest::newRow("partial frame, then silence") << QList<QByteArray>{request.left(8), next} << 100
                                                     << "incomplete request dropped after 100 ms of silence: 8 bytes"
                                                     << answer;
    }

    // A peer's bytes are taken in one chunk after another; a bad one is reported and dropped, and
    // the peer stays connected and is answered.
    void serverTakesWhatAPeerSends()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(int, silenceMs);
        QFETCH(QString, error);
        QFETCH(QByteArray, answers);
        auto server = startServer(fortyTwo);
        server->setReadAnswerTimeout(silenceMs);
        QSignalSpy errors(server.get(), &ErrObject::error);
        QSignalSpy requests(server.get(), &Transport::requestBytesReceived);
        auto peer = connectPeer(*server);
        for (int i = 0; i < chunks.size(); ++i) {
            peer->write(chunks.at(i));
            QVERIFY(peer->waitForBytesWritten(5000));
            if (i + 1 == chunks.size())
                break;
            if (error.isEmpty()) {
                QTRY_COMPARE(QByteArray(server->lastChunk()), chunks.at(i));
                QCOMPARE(requests.count(), 0);
            } else {
                QVERIFY(errors.wait(5000));
                const QString message = errors.first().first().toString();
                QVERIFY2(error.isEmpty() ? message.isEmpty() : message.startsWith(error), qPrintable(message));
            }
        }
        QTRY_COMPARE(peer->bytesAvailable(), qint64(answers.size()));
        QCOMPARE(peer->readAll(), answers);
    }

    // Pipelined requests make the server answer faster than a peer with a small receive buffer
    // reads, so answers back up in the kernel and then in the socket's own buffer.
    void answersOutrunningASlowReaderStayWholeAndInOrder()
    {
        constexpr int requests = 20000;
        const QByteArray registers = QByteArray::fromHex("03FA") + QByteArray(250, '\x5A');
        auto server = startServer(registers);
        server->setWriteTimeout(20000);
        QByteArray pipeline;
        QByteArray expected;
        for (int i = 0; i < requests; ++i) {
            pipeline += tcpFrame(quint16(i), 1, readOneRegister);
            expected += tcpFrame(quint16(i), 1, registers);
        }
        const int fd = rawConnection(quint16(server->port()), true, 4096);
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

    // A device that answers a request with the reply function; without one, our server takes the
    // request and stops while the client waits.
    void clientTakesOnlyItsWholeAnswer_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("late answer first, right one split")
            << Reply([](QTcpSocket *socket, const QByteArray &request) {
                   const quint16 id = ModbusTcpStream::transactionId(request);
                   const QByteArray right = tcpFrame(id, 1, fortyTwo);
                   socket->write(tcpFrame(quint16(id - 1), 1, QByteArray::fromHex("03020001")) + right.left(4));
                   socket->flush();
                   socket->write(right.mid(4));
               }) << Answered;
        QTest::newRow("device closing after half an answer")
            << Reply([](QTcpSocket *socket, const QByteArray &request) {
                   socket->write(tcpFrame(ModbusTcpStream::transactionId(request), 1, fortyTwo).left(7));
                   socket->disconnectFromHost();
               }) << Lost;
        QTest::newRow("silent device") << Reply([](QTcpSocket *, const QByteArray &) {}) << Silent;
        QTest::newRow("our server stopped while the client waits") << Reply() << Lost;
    }

    void clientTakesOnlyItsWholeAnswer()
    {
        QFETCH(Reply, reply);
        QFETCH(Outcome, outcome);
        QTcpServer device;
        QVERIFY(device.listen(QHostAddress::LocalHost, 0));
        serveRaw(device, this, reply);
        auto server = startServer();
        ModbusTcpServer *raw = server.get();
        connect(raw, &Transport::requestBytesReceived, raw,
                [raw](ModbusBytes, const Target *, ModbusBytes *) { QVERIFY(raw->disconnectTransport()); });
        auto client = connectClient(reply ? device.serverPort() : quint16(server->port()));
        client->setReadAnswerTimeout(300);
        QSignalSpy errors(client.get(), &ErrObject::error);
        const Exchange result = exchange(*client, tcpFrame(9, 1, readOneRegister));
        if (outcome == Answered) {
            QVERIFY2(result.ok, qPrintable(result.error));
            QCOMPARE(QByteArray(result.answer), tcpFrame(9, 1, fortyTwo));
            return;
        }
        QVERIFY(!result.ok);
        QVERIFY2(result.error.startsWith(QLatin1String("error sending/receiving bytes: ")), qPrintable(result.error));
        if (outcome == Silent) {
            // A device that only missed one answer keeps its connection for the next request.
            QVERIFY(client->connected());
            return;
        }
        QTRY_VERIFY(!client->connected());
        QCOMPARE(server->connected(), bool(reply));
        QCOMPARE(server->targetsCount(), 0);
        QTRY_VERIFY(errors.count() >= 1);
        QVERIFY2(errors.first().first().toString().startsWith(QLatin1String("socket has been disconnected: ")),
                 qPrintable(errors.first().first().toString()));
    }

    // Called from another thread, the socket runs the write and the wait on its own thread.
    void socketWaitsForTheFirstAnswerBytes_data()
    {
        QTest::addColumn<bool>("answering");
        QTest::newRow("answering device") << true;
        QTest::newRow("silent device") << false;
    }

    void socketWaitsForTheFirstAnswerBytes()
    {
        QFETCH(bool, answering);
        QTcpServer device;
        QVERIFY(device.listen(QHostAddress::LocalHost, 0));
        serveRaw(device, this, [answering](QTcpSocket *socket, const QByteArray &request) {
            if (answering)
                socket->write(tcpFrame(ModbusTcpStream::transactionId(request), 1, fortyTwo));
        });
        QThread socketThread;
        auto *socket = new QTcpSocketInvokable;
        socket->moveToThread(&socketThread);
        connect(&socketThread, &QThread::finished, socket, &QObject::deleteLater);
        socketThread.start();
        socket->connectToHost(QHostAddress::LocalHost, device.serverPort());
        QVERIFY(socket->waitForConnected(5000));
        bool written = !answering;
        const ModbusBytes request = tcpFrame(4, 1, readOneRegister);
        onWorker([&] { written = socket->writeAndWait(request, 1000, answering ? 5000 : 300); });
        QCOMPARE(written, answering);
        if (answering)
            QCOMPARE(QByteArray(socket->readAll()), tcpFrame(4, 1, fortyTwo));
        socketThread.quit();
        QVERIFY(socketThread.wait(5000));
    }

    // A refused peer leaves no target; a lost one removes only its own, and the rest are still served.
    void serverKeepsOneTargetPerPeer()
    {
        auto server = startServer(fortyTwo);
        bool refuse = true;
        connect(server.get(), &ModbusTcpServer::newClientConnection, this,
                [&refuse](ModbusTcpTarget *, bool &allow) { allow = !refuse; });
        QSignalSpy removed(server.get(), &Transport::targetRemoved);
        auto refused = connectPeer(*server);
        QTRY_COMPARE(refused->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(server->targetsCount(), 0);

        refuse = false;
        auto first = connectPeer(*server);
        auto second = connectPeer(*server);
        QTRY_COMPARE(server->targetsCount(), 2);
        first->disconnectFromHost();
        QTRY_COMPARE(server->targetsCount(), 1);
        QCOMPARE(removed.count(), 1);
        second->write(tcpFrame(2, 1, readOneRegister));
        QTRY_COMPARE(second->bytesAvailable(), qint64(tcpFrame(2, 1, fortyTwo).size()));
    }

    // Each loss of the server is reported once, however often the client retries meanwhile.
    void clientRetriesUntilTheServerIsBack()
    {
        const quint16 port = freePort();
        ModbusTcpClient client(QHostAddress::LocalHost, port);
        client.setAutoReconnectInterval(20);
        client.setConnectTimeout(200);
        QSignalSpy errors(&client, &ErrObject::error);
        QVERIFY(!client.connectTransport(true));
        QTRY_COMPARE(errors.count(), 1);

        ModbusTcpServer server(port);
        server.setAddress(QHostAddress::LocalHost);
        answerWith(server, fortyTwo);
        QVERIFY2(server.connectTransport(false), qPrintable(server.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(client.connected() && server.targetsCount() == 1, 10000);
        QCOMPARE(errors.count(), 1);

        QVERIFY(server.disconnectTransport());
        QTRY_VERIFY(!client.connected());
        QVERIFY(server.connectTransport(false));
        QTRY_VERIFY_WITH_TIMEOUT(client.connected() && server.targetsCount() == 1, 10000);
        const Exchange result = exchange(client, tcpFrame(1, 1, readOneRegister));
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(errors.count(), 2);
        QVERIFY(errors.at(1).first().toString().startsWith(QLatin1String("socket has been disconnected: ")));
    }

    // A closing link lets go of its socket before it counts as disconnected: an exchange that
    // comes in between is refused with the message of a closed link, never without one.
    void exchangeWhileTheLinkClosesIsRefused()
    {
        struct ClosingClient : ModbusTcpClient
        {
            using ModbusTcpClient::ModbusTcpClient;
            bool dropSocket() { return disconnectTransportInternal(); }
        };
        const std::unique_ptr<ModbusTcpServer> server = startServer();
        ClosingClient client(QHostAddress::LocalHost, server->port());
        QVERIFY(client.connectTransport(false));
        QVERIFY(client.dropSocket());
        QVERIFY(client.connected());
        const Exchange result = exchange(client, tcpFrame(1, 1, readOneRegister));
        QVERIFY(!result.ok);
        QCOMPARE(result.error, QStringLiteral("can't send bytes via disconnected transport"));
    }

    void serverSendsToOnePeerAndWaitsForItsAnswer()
    {
        auto server = startServer();
        server->setReadAnswerTimeout(200);
        QSignalSpy added(server.get(), &Transport::targetAdded);
        // The server waits on this thread, so the peer answers from another one, and only once.
        std::thread peer([port = quint16(server->port())] {
            QTcpSocket device;
            device.connectToHost(QHostAddress::LocalHost, port);
            if (!device.waitForConnected(5000))
                return;
            for (int request = 0; request < 2 && device.waitForReadyRead(5000); ++request) {
                device.readAll();
                if (request == 0) {
                    device.write(tcpFrame(1, 1, fortyTwo));
                    device.waitForBytesWritten(5000);
                }
            }
            device.waitForDisconnected(5000);
        });
        auto stopPeer = qScopeGuard([&] {
            server->disconnectTransport();
            peer.join();
        });
        QTRY_COMPARE(added.count(), 1);
        const auto *target = added.first().first().value<const Target *>();
        const QByteArray frame = tcpFrame(1, 1, readOneRegister);

        ModbusBytes answer;
        QString error;
        QVERIFY2(server->sendBytes(frame, target, &answer, &error), qPrintable(error));
        QCOMPARE(QByteArray(answer), tcpFrame(1, 1, fortyTwo));
        QVERIFY(!server->sendBytes(frame, target, &answer, &error));
        QVERIFY2(error.startsWith(QLatin1String("answer timeout: ")), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(tst_ModbusTcp)
#include "tst_modbustcp.moc"
