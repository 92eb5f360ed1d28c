#include <TavrexBus1/modbustarget.h>
#include <TavrexBus1/modbustransport.h>

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

namespace {

// A transport whose link fails while told to, and whose device holds queued event bytes.
class FakeTransport : public ModbusTransport
{
public:
    explicit FakeTransport(bool eventable = false)
        : ModbusTransport(TavrexBus::ClientBus, nullptr, eventable)
    {
    }

    int failuresLeft = 0;
    int attempts = 0;
    QList<QByteArray> deviceEvents;
    ModbusTarget target;

    bool sendBytes(const ModbusBytes &, const Target *t, ModbusBytes *, QString *error) override
    {
        return checkCanSendBytes(t, error);
    }
    Target *clientTarget() override { return &target; }
    bool hasTarget(const Target *t) override { return t == &target; }
    int targetsCount() const override { return 1; }
    int bytesAvailable(const Target *) override { return 0; }
    ModbusParser *createParser(QObject *) override { return nullptr; }
    ModbusDeparser *createDeparser(QObject *) override { return nullptr; }
    QString toString(bool) const override { return QStringLiteral("fake"); }
    void dropLink() { autoDisconnect(); }

protected:
    bool connectTransportInternal() override
    {
        ++attempts;
        if (failuresLeft == 0)
            return true;
        --failuresLeft;
        setConnectError(QStringLiteral("link down"));
        return false;
    }
    bool disconnectTransportInternal() override { return true; }
    bool readEventBytes(ModbusBytes &bytes, QString *) override
    {
        if (deviceEvents.isEmpty())
            return false;
        bytes.append(deviceEvents.takeFirst());
        return true;
    }
};

} // namespace

class tst_Transport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void openAndCloseReportRepeats()
    {
        FakeTransport transport;
        QSignalSpy changes(&transport, &Transport::connectedChanged);
        QSignalSpy errors(&transport, &ErrObject::error);
        QVERIFY(transport.connectTransport(false));
        QVERIFY(!transport.connectTransport(false));
        QVERIFY(transport.disconnectTransport());
        QVERIFY(!transport.disconnectTransport());
        QCOMPARE(changes.count(), 2);
        QCOMPARE(errors.count(), 2);
        QCOMPARE(errors.at(0).first().toString(), QStringLiteral("also connected"));
        QCOMPARE(errors.at(1).first().toString(), QStringLiteral("also disconnected"));
    }

    void disconnectCancelsPendingReconnection()
    {
        FakeTransport transport;
        transport.failuresLeft = 1000;
        transport.setAutoReconnectInterval(10);
        transport.setAutoReconnectInterval(-1);
        QCOMPARE(transport.autoReconnectInterval(), 10);
        QVERIFY(!transport.connectTransport(true));
        QTRY_VERIFY(transport.attempts >= 3);
        QVERIFY(transport.disconnectTransport());
        const int attempts = transport.attempts;
        transport.failuresLeft = 0;
        // A retry already in flight finds nothing pending and stops.
        QSignalSpy changes(&transport, &Transport::connectedChanged);
        QVERIFY(!changes.wait(100));
        QCOMPARE(transport.attempts, attempts);
        QVERIFY(!transport.connected());
    }

    void droppedLinkReconnectsOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("autoReconnect");
        QTest::addColumn<int>("drops");
        QTest::newRow("two drops, one attempt") << true << 2;
        QTest::newRow("no auto reconnect") << false << 1;
    }

    void droppedLinkReconnectsOnlyWhenAsked()
    {
        QFETCH(bool, autoReconnect);
        QFETCH(int, drops);
        FakeTransport transport;
        transport.setAutoReconnect(autoReconnect);
        QVERIFY(transport.connectTransport(false));
        QSignalSpy changes(&transport, &Transport::connectedChanged);
        for (int i = 0; i < drops; ++i)
            transport.dropLink();
        QVERIFY(!transport.connected());
        QCOMPARE(changes.wait(1000), autoReconnect);
        QCOMPARE(transport.connected(), autoReconnect);
        QVERIFY(!changes.wait(transport.autoReconnectInterval() * 2));
        QCOMPARE(transport.attempts, autoReconnect ? 2 : 1);
    }

    void eventStreamIsSplitIntoRecords_data()
    {
        QTest::addColumn<QList<QByteArray>>("reads");
        QTest::addColumn<QList<QByteArray>>("records");
        const auto hex = [](const char *text) { return QByteArray::fromHex(text); };
        QTest::newRow("two records") << QList<QByteArray>{hex("03AABB02CC")}
                                     << QList<QByteArray>{hex("AABB"), hex("CC")};
        QTest::newRow("zero length byte stops the poll")
            << QList<QByteArray>{hex("0002CC"), QByteArray()} << QList<QByteArray>{hex("CC")};
        QTest::newRow("record split over reads")
            << QList<QByteArray>{hex("04AA"), hex("BBCC")} << QList<QByteArray>{hex("AABBCC")};
    }

    void eventStreamIsSplitIntoRecords()
    {
        QFETCH(QList<QByteArray>, reads);
        QFETCH(QList<QByteArray>, records);
        FakeTransport transport(true);
        QVERIFY(transport.eventable());
        QVERIFY(transport.connectTransport(false));
        QSignalSpy received(&transport, &EventedTransport::eventBytesReceived);

        // The first read after connecting is stale and dropped.
        transport.deviceEvents = {QByteArray::fromHex("02EE")};
        QVERIFY(!transport.checkEventsSync());
        QCOMPARE(received.count(), 0);

        transport.deviceEvents = reads;
        while (!transport.deviceEvents.isEmpty())
            transport.checkEventsSync();
        QCOMPARE(received.count(), records.count());
        for (int i = 0; i < records.count(); ++i) {
            QCOMPARE(received.at(i).at(0).value<ModbusBytes>(), ModbusBytes(records.at(i)));
            QCOMPARE(received.at(i).at(1).value<const Target *>(), &transport.target);
        }
    }
};

QTEST_MAIN(tst_Transport)
#include "tst_transport.moc"
