#include "recordedeventtransport.h"
#include "signaltexts.h"

#include <TavrexBus1/eventer.h>
#include <TavrexBus1/keypadevent.h>
#include <TavrexBus1/modbusc55client.h>
#include <TavrexBus1/systemevent.h>
#include <TavrexBus1/transporter.h>
#include <TavrexBus1/transporteventreader.h>

#include <QtCore/QLoggingCategory>
#include <QtCore/QPointer>
#include <QtCore/QRegularExpression>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <memory>

namespace {

QList<QByteArray> hexChunks(const QStringList &chunks)
{
    QList<QByteArray> bytes;
    for (const QString &chunk : chunks)
        bytes.append(QByteArray::fromHex(chunk.toLatin1()));
    return bytes;
}

} // namespace

// Event records decoded and built, and their way to the Eventer's signals: through the translator,
// and from a transport's reader thread that polls device bytes cut across reads as a device may
// deliver them.
class tst_EventRecords : public QObject
{
    Q_OBJECT

private:
    struct Link
    {
        Link()
        {
            transport.setEventsCheckInterval(2);
            eventer.setTransport(&transport);
        }
        // Connects and has the reader take and drop the first (stale) read.
        bool open()
        {
            transport.feed({QByteArray::fromHex("02ee")});
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^discarded first events: ")));
            return transport.connectTransport(false) && QTest::qWaitFor([this] { return transport.pendingChunks() == 0; });
        }
        RecordedEventTransport transport;
        Eventer eventer;
    };

private Q_SLOTS:
    // The discarded first read is told on the events category, which is quiet by default.
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("tavrexbus.events.debug=true")); }

    void recordsDecodeToEvents_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("keyCode"); // -1: not a keypad event
        QTest::addColumn<int>("systemCode"); // -1: not a system event
        QTest::addColumn<QString>("why");

        QTest::newRow("key 0 down") << QByteArray::fromHex("018b") << 0x8B << -1 << QString();
        QTest::newRow("system 3") << QByteArray::fromHex("03") << -1 << 3 << QString();
        QTest::newRow("keypad too long") << QByteArray::fromHex("012d00") << -1 << -1 << "error bytes length: 3";
        QTest::newRow("system too long") << QByteArray::fromHex("0200") << -1 << -1 << "error bytes length: 2";
        QTest::newRow("kind 0") << QByteArray::fromHex("00") << -1 << -1 << "unknown event type: 0";
        QTest::newRow("kind 255") << QByteArray::fromHex("ff") << -1 << -1 << "unknown event type: 255";
    }

    void recordsDecodeToEvents()
    {
        QFETCH(QByteArray, record);
        QFETCH(int, keyCode);
        QFETCH(int, systemCode);
        QFETCH(QString, why);
        EventParser parser;
        QSignalSpy errors(&parser, &ErrObject::error);
        const std::unique_ptr<IEvent> event(parser.parse(ModbusBytes(record)));
        if (!why.isEmpty()) {
            QVERIFY(!event);
            QCOMPARE(errors.count(), 1);
            QCOMPARE(parser.errorString(), QStringLiteral("Event parser error: %1 (bytes: %2)")
                                               .arg(why, QString::fromLatin1(record.toHex(' '))));
            return;
        }
        QVERIFY(event);
        QCOMPARE(errors.count(), 0);
        // Events are equal by kind and data: the same code of the other kind, or the next code, differs.
        const int code = keyCode >= 0 ? keyCode : systemCode;
        if (keyCode >= 0)
            QVERIFY(*event == KeypadEvent(quint8(code)) && *event != SystemEvent(code));
        else
            QVERIFY(*event == SystemEvent(code) && *event != KeypadEvent(quint8(code)));
        QVERIFY(*event != KeypadEvent(quint8(code + 1)) && *event != SystemEvent(code + 1));
    }

    // The event texts carry each kind's name and code.
    void textsNameTheirKindAndCode()
    {
        QCOMPARE(KeypadEvent(0x8B).toString(false), QStringLiteral("type: keyboard event\nkey code: 139 (0x8b)\n"));
        QCOMPARE(SystemEvent(3).toString(true), QStringLiteral("type: ?; system code: 3 (0x3); "));
    }

    // Records reach the Eventer as one signal per kind; a receiver may hold one back. Bad records are
    // told in recordsSurviveAnyCutAcrossReads.
    void eventerSignalsEachKindUnlessHeldBack()
    {
        RecordedEventTransport transport;
        Eventer eventer;
        eventer.setTransport(&transport);
        connect(&eventer.translator(), &EventTranslator::eventReceiving, this,
                [](const IEvent &event, const Target *, bool &allow) { allow = event != KeypadEvent(0x81); });
        QSignalSpy keys(&eventer, &Eventer::keypadEvent);
        QSignalSpy systems(&eventer, &Eventer::systemEvent);
        for (const char *hex : {"018b", "03", "0181", "010b"})
            emit transport.eventBytesReceived(ModbusBytes(QByteArray::fromHex(hex)), transport.target());
        QCOMPARE(keys.count(), 2);
        QCOMPARE(keys.at(0).at(0).value<quint8>(), quint8(0x8B));
        QCOMPARE(keys.at(1).at(0).value<quint8>(), quint8(0x0B));
        QCOMPARE(systems.count(), 1);
        QCOMPARE(systems.at(0).at(0).toInt(), 3);
    }

    void sendingBuildsTheRecordForTheTransport_data()
    {
        QTest::addColumn<bool>("keypad");
        QTest::addColumn<bool>("block");
        QTest::addColumn<bool>("knownTarget");
        QTest::addColumn<QString>("error");
        QTest::newRow("keypad") << true << false << true << QString();
        QTest::newRow("blocked") << true << true << true << "outcoming event was blocked by dispatcher(s)";
        QTest::newRow("system") << false << false << true
                                << "Modbus event deparser deparse error: unsupported event type; bytes: ";
        QTest::newRow("unknown target") << true << false << false << "transport not found";
    }

    void sendingBuildsTheRecordForTheTransport()
    {
        QFETCH(bool, keypad);
        QFETCH(bool, block);
        QFETCH(bool, knownTarget);
        QFETCH(QString, error);
        RecordedEventTransport transport;
        QVERIFY(transport.connectTransport(false));
        Eventer eventer;
        eventer.setTransport(&transport);
        EventTranslator &translator = eventer.translator();
        connect(&translator, &EventTranslator::eventSending, this,
                [block](const IEvent &, const Target *, bool &allow) { allow = !block; });
        QSignalSpy sent(&translator, &EventTranslator::eventSent);
        const ModbusTarget stranger;
        const Target *target = knownTarget ? transport.target() : &stranger;
        const bool ok = keypad ? translator.send(KeypadEvent(0x8B), target) : translator.send(SystemEvent(2), target);
        QCOMPARE(ok, error.isEmpty());
        QTRY_COMPARE(eventer.errorString(), error);
        QCOMPARE(transport.sentFrames(), ok ? QList<QByteArray>{QByteArray::fromHex("03018b")} : QList<QByteArray>());
        QCOMPARE(sent.count(), int(!block && keypad));
    }

    // The transport property follows the transporter: set, replaced, and destroyed under it. A link
    // set from outside stays its owner's, open and whole; a client the Eventer made goes with it.
    void eventerTransportFollowsItsLinksButOwnsOnlyItsOwn()
    {
        RecordedEventTransport link;
        QVERIFY(link.connectTransport(false));
        QPointer<ModbusC55Client> made;
        {
            Eventer eventer;
            QSignalSpy changed(&eventer, &Eventer::transportChanged);
            eventer.setTransport(&link);
            eventer.setTransport(&link);
            QCOMPARE(changed.count(), 1);
            auto *second = new RecordedEventTransport;
            eventer.setTransport(second);
            QCOMPARE(changed.count(), 2);
            QCOMPARE(eventer.transport(), second);
            QCOMPARE(eventer.transporter()->transports().size(), 1);
            delete second;
            QCOMPARE(eventer.transport(), nullptr);
            QCOMPARE(changed.count(), 3);
            eventer.setTransport(&link);
            eventer.setTransport(nullptr);
            QVERIFY(link.connected());
            eventer.setTransport(&link);
            made = eventer.addC55Client();
            QVERIFY(made);
            QCOMPARE(made->parent(), eventer.transporter());
            QCOMPARE(eventer.transporter()->transports().size(), 2);
        }
        QVERIFY(!made);
        QVERIFY(link.connected());
        QCOMPARE(link.parent(), nullptr);
    }

    void eventerBoundToAnotherTransporterHearsItsTransports()
    {
        RecordedEventTransport link;
        auto *shared = new Transporter;
        shared->addTransport(link);
        Eventer eventer(nullptr, *shared);
        QCOMPARE(eventer.transport(), &link);
        QSignalSpy keys(&eventer, &Eventer::keypadEvent);
        emit link.eventBytesReceived(ModbusBytes(QByteArray::fromHex("0181")), link.target());
        QCOMPARE(keys.count(), 1);
        delete shared;
        QCOMPARE(eventer.transporter(), nullptr);
        QVERIFY(!eventer.connectTransports());
        QCOMPARE(eventer.errorString(), QStringLiteral("transporter == null"));
    }
    void recordsSurviveAnyCutAcrossReads_data()
    {
        QTest::addColumn<QStringList>("reads");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QStringList>("errors");

        QTest::newRow("two records in a read") << QStringList{"03018b03010b"} << QList<int>{0x8B, 0x0B} << QStringList();
        QTest::newRow("record split in three") << QStringList{"03", "01", "8b"} << QList<int>{0x8B} << QStringList();
        QTest::newRow("records joined across a cut") << QStringList{"03018b03", "010b"} << QList<int>{0x8B, 0x0B}
                                                     << QStringList();
        QTest::newRow("zero byte skipped") << QStringList{"00", "03018b"} << QList<int>{0x8B} << QStringList();
        QTest::newRow("unknown kind between keys")
            << QStringList{"03018b", "0204", "03010b"} << QList<int>{0x8B, 0x0B}
            << QStringList{"Event parser error: unknown event type: 4 (bytes: 04)"};
        QTest::newRow("truncated keypad record") << QStringList{"0201", "03012d"} << QList<int>{0x2D}
                                                 << QStringList{"Event parser error: error bytes length: 1 (bytes: 01)"};
        QTest::newRow("empty record") << QStringList{"01", "03012d"} << QList<int>{0x2D}
                                      << QStringList{"Event parser error: event bytes array is too short (bytes: )"};
        const QString zeros = QStringLiteral("00").repeated(253);
        QTest::newRow("oversized record")
            << QStringList{"ff01" + zeros.left(200), zeros.mid(200) + "03012d"} << QList<int>{0x2D}
            << QStringList{"Event parser error: error bytes length: 254 (bytes: 01" + QStringLiteral(" 00").repeated(253) + ")"};
    }

    void recordsSurviveAnyCutAcrossReads()
    {
        QFETCH(QStringList, reads);
        QFETCH(QList<int>, keys);
        QFETCH(QStringList, errors);
        Link link;
        QVERIFY(link.open());
        QSignalSpy received(&link.eventer, &Eventer::keypadEvent);
        QSignalSpy reported(&link.eventer, &ErrObject::error);
        QSignalSpy records(&link.transport, &EventedTransport::eventBytesReceived);
        link.transport.feed(hexChunks(reads));
        QTRY_COMPARE(received.count(), keys.size());
        QTRY_COMPARE(signalTexts(reported), errors);
        for (int i = 0; i < keys.size(); ++i)
            QCOMPARE(received.at(i).at(0).value<quint8>(), quint8(keys.at(i)));
        QCOMPARE(records.last().at(1).value<const Target *>(), link.transport.target());
    }

    // The rest of a record that never comes is given up after eventsTimeout, and said so; the
    // records after it decode as usual.
    void stalePartialRecordIsDroppedAndReported()
    {
        Link link;
        link.transport.setEventsTimeout(30);
        QVERIFY(link.open());
        QSignalSpy received(&link.eventer, &Eventer::keypadEvent);
        QSignalSpy reported(&link.eventer, &ErrObject::error);
        link.transport.feed({QByteArray::fromHex("0301")});
        QTRY_COMPARE(signalTexts(reported), QStringList{"incomplete event record dropped: 03 01"});
        link.transport.feed({QByteArray::fromHex("03018b")});
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).value<quint8>(), quint8(0x8B));
        QCOMPARE(reported.count(), 1);
    }

    // Polls with nothing to read do not use up the discard of the first read after a connect; the
    // reader polls only while the link is connected.
    void firstSuccessfulReadAfterEachConnectIsDiscarded()
    {
        Link link;
        QSignalSpy received(&link.eventer, &Eventer::keypadEvent);
        for (int round = 0; round < 2; ++round) {
            QVERIFY(link.transport.connectTransport(false));
            const auto *reader = link.transport.findChild<TransportEventReader *>();
            QVERIFY(reader && reader->active());
            const int before = link.transport.reads();
            QTRY_VERIFY(link.transport.reads() > before + 3);
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^discarded first events: .*01 81")));
            link.transport.feed({QByteArray::fromHex("030181"), QByteArray::fromHex("030101")});
            QTRY_COMPARE(received.count(), round + 1);
            QCOMPARE(received.last().at(0).value<quint8>(), quint8(0x01));
            QVERIFY(link.transport.disconnectTransport());
            QVERIFY(!reader->active());
        }
    }
};

QTEST_GUILESS_MAIN(tst_EventRecords)
#include "tst_eventrecords.moc"
