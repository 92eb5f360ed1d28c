#include "freeport.h"
#include "modbustcpstream_p.h"
#include "signaltexts.h"

#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustcpserver.h>
#include <TavrexBus1/modbustcptarget.h>
#include <TavrexBus1/qtcpsocketinvokable.h>

#include <QtCore/QRegularExpression>
#include <QtCore/QScopeGuard>
#include <QtCore/QThread>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

// A Modbus/TCP frame built by hand, so that tests do not check our framing with itself.
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

// Answers every request with answerPdu, under the request's identifier and unit.
void answerWith(ModbusTcpServer &server, const QByteArray &answerPdu)
{
    QObject::connect(&server, &Transport::requestBytesReceived, &server,
                     [answerPdu](ModbusBytes request, const Target *, ModbusBytes *answer) {
                         *answer = tcpFrame(ModbusTcpStream::transactionId(request), quint8(request.at(6)),
                                            answerPdu);
                     });
}

// A server listening on a free port of 127.0.0.1; with an answer, it gives that to every request.
std::unique_ptr<ModbusTcpServer> startServer(const QByteArray &answerPdu = QByteArray())
{
    auto server = std::make_unique<ModbusTcpServer>(0);
    server->setAddress(QHostAddress::LocalHost);
    if (!answerPdu.isEmpty())
        answerWith(*server, answerPdu);
    if (!server->connectTransport(false))
        qWarning() << server->errorString();
    return server;
}

// A plain socket to the server, as any peer could open one.
std::unique_ptr<QTcpSocket> connectPeer(const ModbusTcpServer &server)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, quint16(server.port()));
    if (!socket->waitForConnected(5000))
        qWarning() << socket->errorString();
    return socket;
}

// A bare descriptor, for peers that must misbehave below Qt; a receive buffer must be set before connecting.
int rawConnection(quint16 port, bool blocking, int receiveBuffer = 0)
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

// Peers that want the server to hang, to grow or to stop serving the others.

// The largest answer a read can get: 125 registers.
const QByteArray fullRead = QByteArray::fromHex("03FA") + QByteArray(250, '\x5A');

// Connections that are opened and then left alone; plain descriptors, so that only the server's
// side of them costs anything in this process.
struct IdlePeers
{
    ~IdlePeers()
    {
        for (const int fd : fds)
            ::close(fd);
    }
    // Opens them in batches that the listen backlog takes whole; a connection beyond it would be
    // retried by the kernel only a second later.
    bool open(ModbusTcpServer &server, int count)
    {
        const int first = server.targetsCount();
        while (int(fds.size()) < count) {
            const int batch = qMin(40, count - int(fds.size()));
            for (int i = 0; i < batch; ++i)
                fds.push_back(rawConnection(quint16(server.port()), false));
            if (!QTest::qWaitFor([&] { return server.targetsCount() == first + int(fds.size()); }, 10000))
                return false;
        }
        return true;
    }
    std::vector<int> fds;
};

// Each peer costs two descriptors here, its own and the server's.
bool raiseDescriptorLimit(rlim_t wanted)
{
    rlimit limit = {};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur >= wanted;
}

// A well-behaved client: one request, and its whole answer.
bool isServed(QTcpSocket &client, quint16 transactionId, const QByteArray &answerPdu = fortyTwo,
              int timeout = 10000)
{
    const QByteArray answer = tcpFrame(transactionId, 1, answerPdu);
    client.write(tcpFrame(transactionId, 1, readOneRegister));
    if (!QTest::qWaitFor([&] { return client.bytesAvailable() >= answer.size(); }, timeout))
        return false;
    return client.read(answer.size()) == answer;
}

// The peers the server holds, as they come and go.
struct Peers
{
    explicit Peers(ModbusTcpServer &server)
    {
        QObject::connect(&server, &Transport::targetAdded, &context,
                         [this](const Target *target) { held.append(target); });
        QObject::connect(&server, &Transport::targetRemoved, &context,
                         [this](const Target *target) { held.removeOne(target); });
    }
    QList<const Target *> held;
    QObject context;
};

// What the server keeps of its peers' answers stays within its bound.
void verifyAnswersBounded(ModbusTcpServer &server, const Peers &peers)
{
    for (const Target *target : peers.held)
        QVERIFY2(server.bytesToWrite(target) <= 64 * 1024, qPrintable(QString::number(server.bytesToWrite(target))));
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
        // Neither end counts bytes for a peer that is not its own.
        QSignalSpy clientErrors(clients.front().get(), &ErrObject::error);
        QSignalSpy serverErrors(server.get(), &ErrObject::error);
        QCOMPARE(clients.front()->bytesAvailable(clients.at(1)->clientTarget()), 0);
        QCOMPARE(server->bytesAvailable(clients.front()->clientTarget()), 0);
        QCOMPARE(signalTexts(clientErrors) + signalTexts(serverErrors), QStringList(2, "unknown target"));
    }

    // Pipelined requests make the server answer faster than a peer with a small receive buffer
    // reads, so answers back up in the kernel and then in the socket's own buffer.
    void answersOutrunningASlowReaderStayWholeAndInOrder()
    {
        constexpr int requests = 20000;
        auto server = startServer(fullRead);
        server->setWriteTimeout(20000);
        QByteArray pipeline;
        QByteArray expected;
        for (int i = 0; i < requests; ++i) {
            pipeline += tcpFrame(quint16(i), 1, readOneRegister);
            expected += tcpFrame(quint16(i), 1, fullRead);
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
    }

    // Called from another thread, the socket runs the write and the wait on its own thread; the wait
    // for a silent device fails, and the next request is answered.
    void socketWaitsForTheFirstAnswerBytes()
    {
        QTcpServer device;
        QVERIFY(device.listen(QHostAddress::LocalHost, 0));
        bool answering = false;
        serveRaw(device, this, [&answering](QTcpSocket *socket, const QByteArray &request) {
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
        bool written = true;
        onWorker([&] { written = socket->writeAndWait(tcpFrame(3, 1, readOneRegister), 1000, 300); });
        QVERIFY(!written);
        answering = true;
        onWorker([&] { written = socket->writeAndWait(tcpFrame(4, 1, readOneRegister), 1000, 5000); });
        QVERIFY(written);
        QCOMPARE(QByteArray(socket->readAll()), tcpFrame(4, 1, fortyTwo));
        socketThread.quit();
        QVERIFY(socketThread.wait(5000));
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

    // The staller's partial request is dropped after the silence, and its next request is answered.
    void idlePeersAndAStallerDoNotStopTheOthers()
    {
        if (!raiseDescriptorLimit(1100))
            QSKIP("the descriptor limit does not allow 500 connections");
        auto server = startServer(fortyTwo);
        server->setMaxConnections(1000);
        server->setReadAnswerTimeout(300);
        QSignalSpy errors(server.get(), &ErrObject::error);
        Peers peers(*server);
        IdlePeers idle;
        QVERIFY(idle.open(*server, 500));
        auto staller = connectPeer(*server);
        staller->write(tcpFrame(1, 1, readOneRegister).left(7));
        auto client = connectPeer(*server);
        for (quint16 id = 1; id <= 20; ++id)
            QVERIFY(isServed(*client, id));
        QTRY_COMPARE(signalTexts(errors),
                     QStringList{QStringLiteral("incomplete request dropped after 300 ms of silence: 7 bytes")});
        QVERIFY(isServed(*client, 21));
        QVERIFY(isServed(*staller, 22));
        QCOMPARE(server->targetsCount(), 502);
        verifyAnswersBounded(*server, peers);
    }

    void garbageIsDroppedAndThePeerResynchronises_data()
    {
        QTest::addColumn<QByteArray>("flood");
        QTest::addColumn<QString>("error");
        QTest::newRow("bytes that are no frame") << QByteArray(1 << 20, '\xFF') << "invalid Protocol ID";
        QTest::newRow("length 65535") << QByteArray::fromHex("00010000FFFF0103").repeated(1 << 17)
                                      << "bytes array is too long";
    }

    // Every read of the flood is dropped whole with the framing layer's message; the peer keeps its
    // connection, and a request that comes after the flood is answered.
    void garbageIsDroppedAndThePeerResynchronises()
    {
        QFETCH(QByteArray, flood);
        QFETCH(QString, error);
        auto server = startServer(fortyTwo);
        server->setReadAnswerTimeout(100);
        QSignalSpy errors(server.get(), &ErrObject::error);
        Peers peers(*server);
        auto hostile = connectPeer(*server);
        auto client = connectPeer(*server);
        const QByteArray end = QByteArray::fromHex("DEADBEEFDEADBEEF");
        hostile->write(flood + end);
        QVERIFY(isServed(*client, 1));
        QTRY_VERIFY_WITH_TIMEOUT(hostile->bytesToWrite() == 0 && server->lastChunk().endsWith(end), 30000);
        const QStringList texts = signalTexts(errors);
        QVERIFY(!texts.isEmpty());
        QVERIFY2(texts.first().startsWith(QStringLiteral("ModbusTCPParser parse error: %1; bytes: ").arg(error)),
                 qPrintable(texts.first().left(200)));
        for (const QString &message : texts) {
            QVERIFY2(message.startsWith(QLatin1String("ModbusTCPParser parse error: "))
                         || message.startsWith(QLatin1String("incomplete request dropped after 100 ms")),
                     qPrintable(message.left(200)));
        }
        // The flood's last bytes may be taken for the start of a frame; the next request then
        // completes that and is lost with it, and the one after is answered.
        bool answered = false;
        for (quint16 id = 1; id <= 3 && !answered; ++id)
            answered = isServed(*hostile, id, fortyTwo, 2000);
        QVERIFY(answered);
        QCOMPARE(server->targetsCount(), 2);
        verifyAnswersBounded(*server, peers);
    }

    // Requests are read only while their answers are read: a peer that sends on and never reads
    // stops being read, and is dropped once its answers have waited for writeTimeout.
    void peerThatNeverReadsIsDropped()
    {
        auto server = startServer(fullRead);
        QSignalSpy errors(server.get(), &ErrObject::error);
        Peers peers(*server);
        const int fd = rawConnection(quint16(server->port()), true);
        QTRY_COMPARE(peers.held.size(), 1);
        const Target *target = peers.held.first();
        std::thread flood([fd] {
            const QByteArray request = tcpFrame(1, 1, readOneRegister).repeated(1000);
            while (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) > 0) {
            }
        });
        auto stopFlood = qScopeGuard([&] {
            ::shutdown(fd, SHUT_RDWR);
            flood.join();
            ::close(fd);
        });
        auto client = connectPeer(*server);
        QVERIFY(isServed(*client, 1, fullRead));
        qint64 mostWaiting = 0;
        const auto dropped = [&] {
            if (!peers.held.contains(target))
                return true;
            mostWaiting = qMax(mostWaiting, server->bytesToWrite(target));
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(dropped(), 60000);
        QVERIFY2(mostWaiting <= 64 * 1024, qPrintable(QString::number(mostWaiting)));
        QVERIFY(isServed(*client, 2, fullRead));
        const QStringList texts = signalTexts(errors);
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().startsWith(QLatin1String("error while waiting for send bytes: peer 127.0.0.1:"))
                     && texts.first().contains(QLatin1String("has read none of its answers for 1000 ms")),
                 qPrintable(texts.first()));
    }

    // Frames the application sends itself wait in the server only up to a bound.
    void applicationFramesToANonReaderAreBounded()
    {
        auto server = startServer(fortyTwo);
        server->setWriteTimeout(1);
        QSignalSpy added(server.get(), &Transport::targetAdded);
        const int fd = rawConnection(quint16(server->port()), true);
        auto closeFd = qScopeGuard([fd] { ::close(fd); });
        QTRY_COMPARE(added.count(), 1);
        const auto *target = added.first().first().value<const Target *>();
        const QByteArray frame = tcpFrame(1, 1, fullRead);
        QString error;
        for (int sent = 0; sent < 100000; ++sent) {
            if (!server->sendBytes(frame, target, nullptr, &error)
                && !error.startsWith(QLatin1String("error while waiting for send bytes: ")))
                break;
        }
        const QRegularExpression dropped(QStringLiteral(
            "^error while sending bytes: peer 127\\.0\\.0\\.1:\\d+ does not read its answers, (\\d+) bytes wait; "
            "connection closed$"));
        const QRegularExpressionMatch match = dropped.match(error);
        QVERIFY2(match.hasMatch(), qPrintable(error));
        QVERIFY(match.captured(1).toInt() > 60 * 1024 && match.captured(1).toInt() <= 64 * 1024);
        QCOMPARE(server->targetsCount(), 0);
    }

    // Peers the application or the limit refuses never become targets, and only the limit's count;
    // a lost one removes only its own, and the rest are served.
    void connectionLimitRefusesTheExtraOnesAtOnce()
    {
        auto server = startServer(fortyTwo);
        QCOMPARE(server->maxConnections(), 256);
        server->setMaxConnections(2);
        QSignalSpy errors(server.get(), &ErrObject::error);
        QSignalSpy removed(server.get(), &Transport::targetRemoved);
        bool refuse = true;
        connect(server.get(), &ModbusTcpServer::newClientConnection, this,
                [&refuse](ModbusTcpTarget *, bool &allow) { allow = !refuse; });
        auto unwanted = connectPeer(*server);
        QTRY_COMPARE(unwanted->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(server->targetsCount(), 0);
        refuse = false;
        auto first = connectPeer(*server);
        auto second = connectPeer(*server);
        QTRY_COMPARE(server->targetsCount(), 2);
        for (int refused = 1; refused <= 2; ++refused) {
            auto extra = connectPeer(*server);
            const quint16 port = extra->localPort();
            QTRY_COMPARE(extra->state(), QAbstractSocket::UnconnectedState);
            QCOMPARE(server->targetsCount(), 2);
            QCOMPARE(errors.count(), refused);
            QCOMPARE(errors.last().first().toString(),
                     QStringLiteral("connection from 127.0.0.1:%1 refused: 2 peers connected, the most "
                                    "maxConnections allows; %2 refused since listening started")
                         .arg(port)
                         .arg(refused));
        }
        QVERIFY(isServed(*first, 1));
        second->disconnectFromHost();
        QTRY_COMPARE(server->targetsCount(), 1);
        QCOMPARE(removed.count(), 1);
        auto third = connectPeer(*server);
        QVERIFY(isServed(*third, 2));
    }

    // With no descriptor left the listener stops accepting; it starts again once there are.
    void acceptingResumesWhenDescriptorsAreBack()
    {
        QStringList errors;
        auto server = startServer(fortyTwo);
        connect(server.get(), &ErrObject::error, this, [&errors](const QString &message) { errors.append(message); });
        // While no descriptor is left, not even a sanitizer may look at memory for the first time (it
        // needs a pipe): the paths that run then have run once before.
        server->bytesAvailable(nullptr);
        errors.clear();
        const int fd = rawConnection(quint16(server->port()), true);
        auto closeFd = qScopeGuard([fd] { ::close(fd); });
        rlimit saved = {};
        ::getrlimit(RLIMIT_NOFILE, &saved);
        const int lowestFree = ::open("/dev/null", O_RDONLY);
        ::close(lowestFree);
        rlimit exhausted = saved;
        exhausted.rlim_cur = rlim_t(lowestFree);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &exhausted), 0);
        auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_NOFILE, &saved); });
        QTRY_VERIFY(!errors.isEmpty());
        restore.dismiss();
        ::setrlimit(RLIMIT_NOFILE, &saved);
        QVERIFY2(errors.first().startsWith(QLatin1String("error accepting tcp connection: ")),
                 qPrintable(errors.first()));
        QTRY_COMPARE(server->targetsCount(), 1);
        // Later peers are taken at once, without another error.
        auto later = connectPeer(*server);
        QVERIFY(isServed(*later, 1));
        QCOMPARE(errors.size(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_ModbusTcp)
#include "tst_modbustcp.moc"
