#include <TavrexBus1/modbusloopbackclient.h>
#include <TavrexBus1/modbusloopbackserver.h>
#include <TavrexBus1/modbustransporter.h>

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>


namespace {

// An evented transport that is not a Modbus one.
class PlainTransport : public EventedTransport
{
public:
    bool sendBytes(const ModbusBytes &, const Target *, ModbusBytes *, QString *) override { return false; }
    bool hasTarget(const Target *) override { return false; }
    int targetsCount() const override { return 0; }
    int bytesAvailable(const Target *) override { return 0; }
    QString toString(bool) const override { return QString(); }

protected:
    bool connectTransportInternal() override { return true; }
    bool disconnectTransportInternal() override { return true; }
};

} // namespace

class tst_ModbusTransporter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listKeepsEachModbusTransportOnce()
    {
        ModbusTransporter transporter;
        auto server = std::make_unique<ModbusLoopbackServer>();
        PlainTransport plain;
        QSignalSpy changes(&transporter, &Transporter::transportsChanged);
        QSignalSpy errors(&transporter, &ErrObject::error);
        transporter.addTransport(*server);
        transporter.addTransport(*server, true);
        transporter.addTransport(plain);
        QCOMPARE(transporter.transports(), QList<EventedTransport *>{server.get()});
        QCOMPARE(changes.count(), 1);
        QCOMPARE(server->parent(), nullptr);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().toString(), QStringLiteral("you can add only ModbusTransport"));
        server.reset();
        QVERIFY(transporter.transports().isEmpty());
        QCOMPARE(changes.count(), 2);
    }

    void removingDeletesOnlyOwnedTransports_data()
    {
        QTest::addColumn<bool>("asChild");
        QTest::newRow("child") << true;
        QTest::newRow("not a child") << false;
    }

    void removingDeletesOnlyOwnedTransports()
    {
        QFETCH(bool, asChild);
        ModbusTransporter transporter;
        auto *server = new ModbusLoopbackServer;
        QPointer<ModbusLoopbackServer> guard(server);
        QVERIFY(server->connectTransport(false));
        transporter.addTransport(*server, asChild);
        QSignalSpy removing(&transporter, &Transporter::transportRemoving);

        transporter.removeTransport(*server);
        QCOMPARE(removing.count(), 1);
        QVERIFY(transporter.transports().isEmpty());
        if (asChild) {
            QVERIFY(!server->connected());
            QTRY_VERIFY(guard.isNull());
        } else {
            QVERIFY(server->connected());
            delete server;
        }
    }

    void onlyAClientTransportServesAsClient()
    {
        ModbusTransporter transporter;
        ModbusLoopbackServer server;
        ModbusLoopbackClient first;
        ModbusLoopbackClient second;
        transporter.addTransport(server);
        transporter.setClientTransport(&first);
        transporter.setClientTransport(&second);
        QCOMPARE(transporter.clientTransport(), &second);
        QCOMPARE(transporter.transports(), (QList<EventedTransport *>{&server, &second}));
        transporter.setClientTransport(nullptr);
        QCOMPARE(transporter.clientTransport(), nullptr);
        QCOMPARE(transporter.transports(), QList<EventedTransport *>{&server});

        QSignalSpy errors(&transporter, &ErrObject::error);
        ModbusLoopbackServer otherServer;
        transporter.setClientTransport(&otherServer);
        QCOMPARE(transporter.transports(), QList<EventedTransport *>{&server});
        QCOMPARE(errors.first().first().toString(),
                 QStringLiteral("you can set only modbus transport of ModbusClient type"));
    }

    void framesRouteToTheirTransport()
    {
        ModbusLoopbackServer server;
        QVERIFY(server.connectTransport(false));
        ModbusLoopbackClient client(server);
        QVERIFY(client.connectTransport(false));
        connect(&server, &Transport::requestBytesReceived, this,
                [](ModbusBytes bytes, const Target *, ModbusBytes *answer) { *answer = bytes + ModbusBytes(char(9)); });

        ModbusTransporter transporter;
        transporter.addTransport(server);
        transporter.setClientTransport(&client);
        QCOMPARE(transporter.getTransportByTarget(client.target()), &client);
        QCOMPARE(transporter.getTransportByTarget(server.target()), &server);
        QSignalSpy sent(&transporter, &Transporter::bytesSent);
        QSignalSpy received(&transporter, &Transporter::bytesReceived);

        ModbusBytes answer;
        QVERIFY(transporter.sendBytes(ModbusBytes(char(1)), client.target(), &answer));
        QCOMPARE(answer, ModbusBytes(QByteArray::fromHex("0109")));
        // The request is announced by the transporter; the server's answer reaches it as a request
        // (its own requestBytesReceived) and the answer as the client's received bytes.
        QCOMPARE(sent.count(), 2);
        QCOMPARE(received.count(), 2);

        ModbusTarget stranger;
        QSignalSpy errors(&transporter, &ErrObject::error);
        QVERIFY(!transporter.sendBytes(ModbusBytes(char(1)), &stranger, nullptr));
        QVERIFY(!transporter.sendEventBytes(ModbusBytes(char(1)), &stranger));
        QCOMPARE(errors.count(), 2);
        QCOMPARE(errors.first().first().toString(), QStringLiteral("transport not found"));
        QCOMPARE(sent.count(), 2);
    }

    void connectTransportsReportsAnyFailure()
    {
        ModbusLoopbackServer server;
        ModbusLoopbackClient orphan;
        orphan.setAutoReconnect(false);
        ModbusTransporter transporter;
        transporter.addTransport(server);
        transporter.addTransport(orphan);
        QVERIFY(!transporter.connectTransports());
        QVERIFY(server.connected());
        QVERIFY(!orphan.connected());
        QVERIFY(orphan.disconnectTransport());
        QVERIFY(transporter.disconnectTransports());
        QVERIFY(!server.connected());
    }
};

QTEST_MAIN(tst_ModbusTransporter)
#include "tst_modbustransporter.moc"
