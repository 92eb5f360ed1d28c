#include <TavrexBus1/modbustarget.h>
#include <TavrexBus1/modbustransport.h>

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

namespace {

// A transport whose link fails while told to. Event records are split in the events suites.
class FakeTransport : public ModbusTransport
{
public:
    FakeTransport() : ModbusTransport(TavrexBus::ClientBus, nullptr) {}

    int failuresLeft = 0;
    int attempts = 0;
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
};

QTEST_MAIN(tst_Transport)
#include "tst_transport.moc"
