#include "enginefixture.h"
#include "modbusercases.h"
#include "rtuframe.h"
#include "signaltexts.h"

#include <TavrexBus1/modbusiptarget.h>
#include <TavrexBus1/modbustftpclient.h>
#include <TavrexBus1/modbustftpserver.h>

#include <QtCore/QProcess>
#include <QtCore/QScopeGuard>
#include <QtCore/QStandardPaths>
#include <QtCore/QTemporaryDir>
#include <QtNetwork/QUdpSocket>
#include <QtTest/QSignalSpy>

#include <functional>
#include <thread>

namespace {

const QHostAddress Local(QHostAddress::LocalHost);

QByteArray fromHex(const char *text) { return QByteArray::fromHex(text); }

const ModbusBytes ReadOne = rtuFrame("010300000001");
const ModbusBytes FortyTwo = rtuFrame("010302002a");

QByteArray readRequest(const QByteArray &fileName, const char *mode = "octet")
{
    return fromHex("0001") + fileName + '\0' + mode + '\0';
}

QByteArray dataBlock(quint16 block, const QByteArray &payload)
{
    return ModbusBytes::fromUInt16(3) + ModbusBytes::fromUInt16(block) + payload;
}

// Runs work on a thread of its own while this thread goes on serving its sockets.
template <typename Work>
auto elsewhere(Work work)
{
    decltype(work()) result{};
    std::atomic_bool done{false};
    std::thread worker([&] {
        result = work();
        done = true;
    });
    const bool finished = QTest::qWaitFor([&] { return done.load(); }, 30000);
    worker.join();
    if (!finished)
        qWarning("work on the other thread took over 30 s");
    return result;
}

// A UDP peer under the test's control: records what reaches it and answers each read request with
// what reply sends back.
class Peer : public QObject
{
public:
    using Reply = std::function<void(Peer &, const QHostAddress &, quint16)>;

    explicit Peer(const QHostAddress &address = Local)
    {
        socket.bind(address, 0);
        connect(&socket, &QUdpSocket::readyRead, this, [this] {
            while (socket.hasPendingDatagrams()) {
                QByteArray datagram(int(socket.pendingDatagramSize()), Qt::Uninitialized);
                QHostAddress from;
                quint16 port = 0;
                datagram.truncate(int(socket.readDatagram(datagram.data(), datagram.size(), &from, &port)));
                received.append(datagram);
                if (reply && datagram.startsWith(fromHex("0001")))
                    reply(*this, from, port);
            }
        });
    }

    void send(const QByteArray &datagram, const QHostAddress &to, quint16 port) { socket.writeDatagram(datagram, to, port); }
    quint16 port() const { return socket.localPort(); }

    QUdpSocket socket;
    QList<QByteArray> received;
    Reply reply;
};

// A client Modbuser on a thread of its own, as the executor runs it, and a server Modbuser on this
// thread with the engine suite's device behind it; both links made by the Modbusers' add operations.
class TftpLink
{
public:
    TftpLink()
    {
        m_client->moveToThread(&m_thread);
        m_thread.start();
        m_device.attach(m_server);
        m_serverTransport = m_server.addModbusTFtpServer(Local, 0);
        if (!m_serverTransport->connectTransport())
            return;
        const int port = m_serverTransport->port();
        m_clientTransport = runOn(*m_client, [port](Modbuser &m) {
            ModbusTFtpClient *client = m.addModbusTFtpClient(Local, port);
            return client->connectTransport() ? client : nullptr;
        });
    }

    ~TftpLink()
    {
        QMetaObject::invokeMethod(m_client, [this] { delete m_client; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    bool isReady() const { return m_clientTransport; }
    Device &device() { return m_device; }
    ModbusTFtpServer &serverTransport() { return *m_serverTransport; }

    template <typename Op>
    auto run(Op op) { return runOn(*m_client, op); }

private:
    Device m_device;
    Modbuser m_server;
    ModbusTFtpServer *m_serverTransport = nullptr;
    QThread m_thread;
    Modbuser *m_client = new Modbuser;
    ModbusTFtpClient *m_clientTransport = nullptr;
};

} // namespace

class tst_ModbusTFtp : public QObject
{
    Q_OBJECT

private slots:
    void everyServedFunctionTravelsEndToEnd_data()
    {
        QTest::addColumn<Operation>("op");
        QTest::addColumn<QVariant>("expected");
        QTest::addColumn<int>("function");
        for (const Case &c : cases())
            QTest::newRow(qPrintable(c.name)) << c.op << c.expected << c.function;
    }

    void everyServedFunctionTravelsEndToEnd()
    {
        QFETCH(Operation, op);
        QFETCH(QVariant, expected);
        QFETCH(int, function);
        TftpLink link;
        QVERIFY(link.isReady());
        QCOMPARE(link.run(op), expected);
        QCOMPARE(int(link.device().lastFunction), function);
        // The link serves the next request as well.
        QCOMPARE(link.run(op), expected);
        QCOMPARE(link.serverTransport().targetsCount(), 0);
    }

    void clientFailsEveryAnswerButDataBlockOne_data()
    {
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<QString>("error");
        QTest::newRow("error packet") << QList<QByteArray>{fromHex("000500014e6f00")}
                                      << "error from TFtp server received: file not found";
        QTest::newRow("error 5") << QList<QByteArray>{fromHex("0005000500")}
                                 << "error from TFtp server received: unknown transfer ID";
        QTest::newRow("error 9") << QList<QByteArray>{fromHex("0005000900")}
                                 << "error from TFtp server received: unknown error code";
        QTest::newRow("too small") << QList<QByteArray>{fromHex("00030001")} << "tftp packet if too small: 00 03 00 01";
        QTest::newRow("wrong block") << QList<QByteArray>{dataBlock(2, FortyTwo)} << "unexpected tftp data block: 2";
        QTest::newRow("unknown opcode") << QList<QByteArray>{fromHex("0006000100")} << "unsupported tftp packet type: 6";
        QTest::newRow("write request") << QList<QByteArray>{readRequest("=00").replace(1, 1, "\x02")}
                                       << "unsupported tftp packet type: 2";
        QTest::newRow("oversized") << QList<QByteArray>{dataBlock(1, QByteArray(300, '\x01'))}
                                   << "tftp answer too long: 300 bytes";
        QTest::newRow("lost") << QList<QByteArray>{} << "read answer timeout: ";
        QTest::newRow("empty, then data") << QList<QByteArray>{QByteArray(), dataBlock(1, FortyTwo)} << QString();
        QTest::newRow("acknowledgement, then data")
            << QList<QByteArray>{fromHex("0004000100"), dataBlock(1, FortyTwo)} << QString();
    }

    void clientFailsEveryAnswerButDataBlockOne()
    {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(QString, error);
        Peer peer(QHostAddress(QStringLiteral("127.0.0.2")));
        int requests = 0;
        peer.reply = [&](Peer &self, const QHostAddress &from, quint16 port) {
            const QList<QByteArray> answers = requests++ == 0 ? replies : QList<QByteArray>{dataBlock(1, FortyTwo)};
            for (const QByteArray &answer : answers)
                self.send(answer, from, port);
        };
        // Set up property by property, as QML does.
        ModbusTFtpClient client;
        client.setAddressStr(QStringLiteral("127.0.0.2"));
        client.setPort(peer.port());
        client.setReadAnswerTimeout(error.isEmpty() ? 5000 : 300);
        QVERIFY(client.connectTransport());
        QSignalSpy errors(&client, &ErrObject::error);

        ModbusBytes answer;
        QString failure;
        const bool answered = elsewhere([&] { return client.sendBytes(ReadOne, &answer, &failure); });
        QVERIFY2(answered == error.isEmpty(), qPrintable(failure));
        QVERIFY2(error.isEmpty() ? failure.isEmpty() : failure.startsWith(error), qPrintable(failure));
        QCOMPARE(errors.count(), 0);

        // The next exchange succeeds; the failed one was never acknowledged.
        QVERIFY(elsewhere([&] { return client.sendBytes(ReadOne, &answer, &failure); }));
        QCOMPARE(answer, FortyTwo);
        // The frame travels as hex text in the file name of a read request.
        const QByteArray request = readRequest("=010300000001840a"), ack = fromHex("00040001");
        const QList<QByteArray> sent = error.isEmpty() ? QList<QByteArray>{request, ack, request, ack}
                                                       : QList<QByteArray>{request, request, ack};
        QTRY_COMPARE(peer.received, sent);
    }

    // Answers from another host, a late one to a timed-out request's port and a repeated one never
    // answer the next request.
    void strayLateAndRepeatedAnswersAreNeverTaken()
    {
        Peer peer;
        Peer stranger(QHostAddress(QStringLiteral("127.0.0.2")));
        QVERIFY2(stranger.socket.state() == QAbstractSocket::BoundState, "127.0.0.2 is on the loopback device");
        quint16 firstPort = 0;
        quint16 value = 0;
        peer.reply = [&](Peer &self, const QHostAddress &from, quint16 port) {
            if (!firstPort) {
                firstPort = port;
                return;
            }
            const QByteArray dead = dataBlock(1, rtuFrame("010302dead"));
            stranger.send(dead, from, port);
            self.send(dead, from, firstPort);
            const QByteArray answer = dataBlock(1, rtuFrame(QByteArray("010302" + QByteArray::number(++value, 16)
                                                                           .rightJustified(4, '0'))));
            self.send(answer, from, port);
            self.send(answer, from, port);
        };
        ModbusTFtpClient client(ModbusIpTarget(Local, peer.port()));
        client.setReadAnswerTimeout(200);
        QVERIFY(client.connectTransport());
        ModbusBytes answer;
        QVERIFY(!elsewhere([&] { return client.sendBytes(ReadOne, &answer); }));
        for (const char *expected : {"0103020001", "0103020002"}) {
            QVERIFY(elsewhere([&] { return client.sendBytes(ReadOne, &answer); }));
            QCOMPARE(hex(answer), hex(rtuFrame(expected)));
        }
        QSignalSpy errors(&client, &ErrObject::error);
        const ModbusIpTarget foreign(Local, peer.port());
        QCOMPARE(client.bytesAvailable(&foreign), 0);
        QCOMPARE(signalTexts(errors), QStringList{"unknown target"});
    }

    void serverRefusesWhatIsNotARequest_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("refusal");
        const QString invalid = QStringLiteral("invalid modbus tftp data request");
        QTest::newRow("no equals sign") << readRequest("010300000001840a") << invalid << fromHex("00050001");
        QTest::newRow("other mode") << readRequest("=010300000001840a", "netascii") << invalid << fromHex("00050001");
        QTest::newRow("no trailer") << QByteArray(readRequest("=010300000001840a").chopped(1)) << invalid
                                    << fromHex("00050001");
        QTest::newRow("odd text") << readRequest("=010300000001840") << invalid << fromHex("00050001");
        QTest::newRow("not hex") << readRequest("=01030000zz01840a") << invalid << fromHex("00050001");
        QTest::newRow("empty frame") << readRequest("=") << invalid << fromHex("00050001");
        QTest::newRow("oversized") << readRequest("=" + QByteArray(600, 'a')) << invalid << fromHex("00050001");
        QTest::newRow("write request") << QByteArray(readRequest("=010300000001840a").replace(1, 1, "\x02"))
                                       << "unsupporter tftp packet type: 2" << fromHex("00050004");
        QTest::newRow("one byte") << fromHex("01") << "unsupporter tftp packet type: 0" << fromHex("00050004");
        QTest::newRow("error packet") << fromHex("000500014e6f00") << "error from TFtp server received: file not found"
                                      << QByteArray();
        QTest::newRow("acknowledge") << fromHex("00040001") << QString() << QByteArray();
    }

    // Whatever came first, the next request is answered; its sender is a target only while it is handled.
    void serverRefusesWhatIsNotARequest()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, error);
        QFETCH(QByteArray, refusal);
        ModbusTFtpServer server(0);
        server.setAddress(Local);
        QVERIFY(server.connectTransport());
        const Target *handled = nullptr;
        int targetsWhileHandling = 0;
        connect(&server, &Transport::requestBytesReceived, this,
                [&](const ModbusBytes &, const Target *target, ModbusBytes *answer) {
                    handled = target;
                    targetsWhileHandling = server.targetsCount();
                    *answer = FortyTwo;
                });
        QSignalSpy errors(&server, &ErrObject::error);
        Peer peer;

        peer.send(datagram, Local, quint16(server.port()));
        peer.send(readRequest("=010300000001840a"), Local, quint16(server.port()));
        QTRY_VERIFY(!peer.received.isEmpty() && peer.received.last() == dataBlock(1, FortyTwo));
        QCOMPARE(peer.received.size(), refusal.isEmpty() ? 1 : 2);
        if (!refusal.isEmpty())
            QVERIFY(peer.received.first().startsWith(refusal));
        QCOMPARE(signalTexts(errors), error.isEmpty() ? QStringList() : QStringList{error});
        QCOMPARE(targetsWhileHandling, 1);
        QCOMPARE(server.targetsCount(), 0);
        QString late;
        QVERIFY(!server.sendBytes(FortyTwo, handled, nullptr, &late));
        QCOMPARE(late, QStringLiteral("incorrect target to send bytes"));
    }

    // A stock TFTP client fetching the file named by a request receives the answer frame as its content.
    void stockTftpClientFetchesTheAnswer()
    {
        const QString tftp = QStandardPaths::findExecutable(QStringLiteral("tftp"));
        if (tftp.isEmpty())
            QSKIP("tftp-hpa's tftp is not installed");
        TftpLink link;
        QVERIFY(link.isReady());
        QTemporaryDir dir;
        const QString answerFile = dir.filePath(QStringLiteral("answer"));
        const QString request = QStringLiteral("=") + QString::fromLatin1(rtuFrame("110300000003").toHex());
        QProcess process;
        process.start(tftp, {QStringLiteral("-m"), QStringLiteral("octet"), QStringLiteral("127.0.0.1"),
                             QString::number(link.serverTransport().port()), QStringLiteral("-c"),
                             QStringLiteral("get"), request, answerFile});
        QVERIFY(process.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(process.state(), QProcess::NotRunning, 30000);
        QFile file(answerFile);
        QVERIFY2(file.open(QIODevice::ReadOnly), process.readAllStandardError().constData());
        QCOMPARE(hex(file.readAll()), hex(rtuFrame("110306000000000000")));
    }

    // Our client against an RFC 1350 server that answers from a transfer ID of its own.
    void clientTalksToAnRfc1350Server()
    {
        QProcess peer;
        peer.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(TAVREX_TFTP_PEERS "/rfc1350_server.py")});
        QVERIFY(peer.waitForStarted());
        const auto stop = qScopeGuard([&] {
            peer.kill();
            peer.waitForFinished();
        });
        QTRY_VERIFY_WITH_TIMEOUT(peer.canReadLine(), 10000);
        const int port = peer.readLine().trimmed().toInt();
        QVERIFY(port > 0);
        ModbusTFtpClient client(ModbusIpTarget(Local, port));
        QVERIFY(client.connectTransport());
        Modbuser modbuser;
        modbuser.setClientTransport(&client);
        ModbusBytes values;
        QVERIFY2(elsewhere([&] { return modbuser.readRegisters(400008, 2, values); }), qPrintable(modbuser.errorString()));
        QCOMPARE(hex(values), QStringLiteral("00 07 00 08"));
        QTRY_VERIFY_WITH_TIMEOUT(peer.canReadLine(), 5000);
        QCOMPARE(peer.readLine().trimmed(), QByteArray("ACK 1"));
    }
};

QTEST_MAIN(tst_ModbusTFtp)
#include "tst_modbustftp.moc"
