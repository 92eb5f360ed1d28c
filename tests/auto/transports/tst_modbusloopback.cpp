#include <TavrexBus1/modbusloopbackclient.h>
#include <TavrexBus1/modbusloopbackserver.h>

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

namespace {

const ModbusBytes request = ModbusBytes::fromModbusString(QStringLiteral("01 03 00 00 00 01 84 0A"));
const ModbusBytes answer = ModbusBytes::fromModbusString(QStringLiteral("01 03 02 00 2A 39 9B"));

} // namespace

class tst_ModbusLoopback : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModbusLoopbackServer> m_server;
    std::unique_ptr<ModbusLoopbackClient> m_client;

private Q_SLOTS:
    void init()
    {
        m_server = std::make_unique<ModbusLoopbackServer>();
        QVERIFY(m_server->connectTransport(false));
        m_client = std::make_unique<ModbusLoopbackClient>(*m_server);
        QVERIFY(m_client->connectTransport(false));
    }

    void cleanup()
    {
        m_client.reset();
        m_server.reset();
    }

    void connectNeedsConnectedServer_data()
    {
        QTest::addColumn<bool>("withServer");
        QTest::addColumn<QString>("message");
        QTest::newRow("no server") << false << QStringLiteral("server loopback transport doesn't assigned");
        QTest::newRow("server closed") << true << QStringLiteral("server loopback transport disconnected");
    }

    void connectNeedsConnectedServer()
    {
        QFETCH(bool, withServer);
        QFETCH(QString, message);
        ModbusLoopbackServer server;
        ModbusLoopbackClient client;
        if (withServer)
            client.setServer(&server);
        QSignalSpy errors(&client, &ErrObject::error);
        QVERIFY(!client.connectTransport(false));
        QVERIFY(!client.connected());
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().toString(), message);
    }

    // A destroyed server lets its client go as a disconnected one does.
    void destroyedServerReleasesClient()
    {
        m_server.reset();
        QVERIFY(!m_client->connected());
        QCOMPARE(m_client->server(), nullptr);
        QString error;
        QVERIFY(!m_client->sendBytes(request, m_client->target(), nullptr, &error));
        QCOMPARE(error, QStringLiteral("can't send bytes via disconnected transport"));
    }

    void textAnswerIsTheFallback()
    {
        QString seen;
        connect(m_server.get(), &Transport::read, this, [&](QString text, const Target *, QString &reply) {
            seen = text;
            reply = QStringLiteral("01 03 02 00 2a 39 9b");
        });
        ModbusBytes reply;
        QVERIFY(m_client->sendBytes(request, m_client->target(), &reply));
        QCOMPARE(reply, answer);
        QCOMPARE(seen, QStringLiteral("01 03 00 00 00 01 84 0a"));
    }

    void serverCannotSend()
    {
        QSignalSpy sent(m_server.get(), &Transport::bytesSent);
        QString error;
        QVERIFY(!m_server->sendBytes(answer, m_server->target(), nullptr, &error));
        QCOMPARE(error, QStringLiteral("you can't send bytes through ModbusLoopbackServer, only answer for requests"));
        QCOMPARE(sent.count(), 0);
    }
};

QTEST_MAIN(tst_ModbusLoopback)
#include "tst_modbusloopback.moc"
