#include "signaltexts.h"
#include "tcpframe.h"

#include <QtCore/QRegularExpression>
#include <QtCore/QScopeGuard>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <sys/resource.h>
#include <unistd.h>

#include <thread>
#include <vector>

// Peers that want the server to hang, to grow or to stop serving the others.
namespace {

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

class tst_HostilePeers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        QTest::newRow("length 255") << QByteArray::fromHex("00010000 00FF 01 03").repeated(1 << 17)
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

    void connectionLimitRefusesTheExtraOnesAtOnce()
    {
        auto server = startServer(fortyTwo);
        QCOMPARE(server->maxConnections(), 256);
        server->setMaxConnections(2);
        QSignalSpy errors(server.get(), &ErrObject::error);
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

QTEST_GUILESS_MAIN(tst_HostilePeers)
#include "tst_hostilepeers.moc"
