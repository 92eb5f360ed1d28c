#include <TavrexBus1/modbusloopbackclient.h>
#include <TavrexBus1/modbusloopbackserver.h>
#include <TavrexBus1/modbustransporter.h>

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <thread>

namespace {

const ModbusBytes request = ModbusBytes::fromModbusString(QStringLiteral("01 03 00 00 00 01 84 0A"));
const ModbusBytes answer = ModbusBytes::fromModbusString(QStringLiteral("01 03 02 00 2A 39 9B"));

} // namespace

class tst_ModbusLoopback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void connectNeedsConnectedServer_data();
    void connectNeedsConnectedServer();
    void serverDisconnectReleasesClient();
    void serverDestructionReleasesClient();
    void requestIsAnsweredByServerReceivers();
    void unansweredRequestIsZeroLengthAnswer();
    void textAnswerIsTheFallback();
    void serverCannotSend();
    void answerCrossesThreadsBeforeReturning();
};

void tst_ModbusLoopback::connectNeedsConnectedServer_data()
{
    QTest::addColumn<bool>("withServer");
    QTest::addColumn<bool>("serverConnected");
    QTest::addColumn<QString>("message");
    QTest::newRow("no server") << false << false << QStringLiteral("server loopback transport doesn't assigned");
    QTest::newRow("server closed") << true << false << QStringLiteral("server loopback transport disconnected");
    QTest::newRow("server open") << true << true << QString();
}

void tst_ModbusLoopback::connectNeedsConnectedServer()
{
    QFETCH(bool, withServer);
    QFETCH(bool, serverConnected);
    QFETCH(QString, message);
    ModbusLoopbackServer server;
    ModbusLoopbackClient client;
    if (withServer)
        client.setServer(&server);
    if (serverConnected)
        QVERIFY(server.connectTransport(false));
    QSignalSpy errors(&client, &ErrObject::error);

    QCOMPARE(client.connectTransport(false), message.isEmpty());
    QCOMPARE(client.connected(), message.isEmpty());
    QCOMPARE(errors.count(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(errors.first().first().toString(), message);
}

void tst_ModbusLoopback::serverDisconnectReleasesClient()
{
    ModbusLoopbackServer server;
    QVERIFY(server.connectTransport(false));
    ModbusLoopbackClient client(server);
    QVERIFY(client.connectTransport(false));
    QSignalSpy serverChanges(&client, &ModbusLoopbackClient::serverChanged);

    QVERIFY(server.disconnectTransport());
    QVERIFY(!client.connected());
    QCOMPARE(client.server(), nullptr);
    QCOMPARE(serverChanges.count(), 1);
}

void tst_ModbusLoopback::serverDestructionReleasesClient()
{
    auto server = std::make_unique<ModbusLoopbackServer>();
    QVERIFY(server->connectTransport(false));
    ModbusLoopbackClient client(*server);
    QVERIFY(client.connectTransport(false));
    server.reset();
    QVERIFY(!client.connected());
    QCOMPARE(client.server(), nullptr);
    QString error;
    QVERIFY(!client.sendBytes(request, client.target(), nullptr, &error));
    QCOMPARE(error, QStringLiteral("can't send bytes via disconnected transport"));
}

void tst_ModbusLoopback::requestIsAnsweredByServerReceivers()
{
    ModbusLoopbackServer server;
    QVERIFY(server.connectTransport(false));
    ModbusLoopbackClient client(server);
    QVERIFY(client.connectTransport(false));
    connect(&server, &Transport::requestBytesReceived, this,
            [&](ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes) {
                QCOMPARE(bytes, request);
                QCOMPARE(target, server.target());
                *answerBytes = answer;
            });
    QSignalSpy serverReceived(&server, &Transport::bytesReceived);
    QSignalSpy clientReceived(&client, &Transport::bytesReceived);

    ModbusBytes reply;
    QVERIFY(client.sendBytes(request, client.target(), &reply));
    QCOMPARE(reply, answer);
    QCOMPARE(serverReceived.count(), 1);
    QCOMPARE(clientReceived.count(), 1);
    QCOMPARE(clientReceived.first().first().value<ModbusBytes>(), answer);
}

void tst_ModbusLoopback::unansweredRequestIsZeroLengthAnswer()
{
    ModbusLoopbackServer server;
    QVERIFY(server.connectTransport(false));
    ModbusLoopbackClient client(server);
    QVERIFY(client.connectTransport(false));
    QSignalSpy errors(&client, &ErrObject::error);

    ModbusBytes reply;
    QVERIFY(!client.sendBytes(request, client.target(), &reply));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.first().first().toString(), QStringLiteral("zero length answer received"));
    QVERIFY(client.sendBytes(request, client.target(), nullptr));
}

void tst_ModbusLoopback::textAnswerIsTheFallback()
{
    ModbusLoopbackServer server;
    QVERIFY(server.connectTransport(false));
    ModbusLoopbackClient client(server);
    QVERIFY(client.connectTransport(false));
    QString seen;
    connect(&server, &Transport::read, this, [&](QString text, const Target *, QString &reply) {
        seen = text;
        reply = QStringLiteral("01 03 02 00 2a 39 9b");
    });

    ModbusBytes reply;
    QVERIFY(client.sendBytes(request, client.target(), &reply));
    QCOMPARE(reply, answer);
    QCOMPARE(seen, QStringLiteral("01 03 00 00 00 01 84 0a"));
}

void tst_ModbusLoopback::serverCannotSend()
{
    ModbusLoopbackServer server;
    QVERIFY(server.connectTransport(false));
    QSignalSpy sent(&server, &Transport::bytesSent);
    QString error;
    QVERIFY(!server.sendBytes(answer, server.target(), nullptr, &error));
    QCOMPARE(error, QStringLiteral("you can't send bytes through ModbusLoopbackServer, only answer for requests"));
    QCOMPARE(sent.count(), 0);
}

void tst_ModbusLoopback::answerCrossesThreadsBeforeReturning()
{
    // The server side (transporter and handler) lives here; the request comes from a worker,
    // as it does from a client's executor thread.
    ModbusLoopbackServer server;
    QVERIFY(server.connectTransport(false));
    ModbusTransporter serverSide;
    serverSide.addTransport(server);
    Qt::HANDLE handlerThread = nullptr;
    connect(&serverSide, &Transporter::requestBytesReceived, this,
            [&](ModbusBytes, const Target *, ModbusBytes *answerBytes) {
                handlerThread = QThread::currentThreadId();
                *answerBytes = answer;
            });
    QSignalSpy announced(&serverSide, &Transporter::bytesSent);
    ModbusLoopbackClient client(server);
    QVERIFY(client.connectTransport(false));

    ModbusBytes reply;
    bool ok = false;
    std::thread worker([&] { ok = client.sendBytes(request, client.target(), &reply); });
    QTRY_VERIFY(handlerThread != nullptr);
    worker.join();

    QVERIFY(ok);
    QCOMPARE(reply, answer);
    QCOMPARE(handlerThread, QThread::currentThreadId());
    QCOMPARE(announced.count(), 1);
    QCOMPARE(announced.first().first().value<ModbusBytes>(), answer);
}

QTEST_MAIN(tst_ModbusLoopback)
#include "tst_modbusloopback.moc"
