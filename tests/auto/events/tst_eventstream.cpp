#include "recordedeventtransport.h"

#include <TavrexBus1/eventer.h>

#include <QtCore/QLoggingCategory>
#include <QtCore/QRegularExpression>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

namespace {

QList<QByteArray> hexChunks(const QStringList &chunks)
{
    QList<QByteArray> bytes;
    for (const QString &chunk : chunks)
        bytes.append(QByteArray::fromHex(chunk.toLatin1()));
    return bytes;
}

QStringList texts(const QSignalSpy &spy)
{
    QStringList list;
    for (const QList<QVariant> &arguments : spy)
        list.append(arguments.at(0).toString());
    return list;
}

} // namespace

// Device event bytes polled by the reader thread of a transport, cut across reads as a device may
// deliver them, decoded up to the Eventer's signals.
class tst_EventStream : public QObject
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
        QTRY_COMPARE(texts(reported), errors);
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
        QTRY_COMPARE(texts(reported), QStringList{"incomplete event record dropped: 03 01"});
        link.transport.feed({QByteArray::fromHex("03018b")});
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).value<quint8>(), quint8(0x8B));
        QCOMPARE(reported.count(), 1);
    }

    // Polls with nothing to read do not use up the discard of the first read after a connect.
    void firstSuccessfulReadAfterEachConnectIsDiscarded()
    {
        Link link;
        QSignalSpy received(&link.eventer, &Eventer::keypadEvent);
        for (int round = 0; round < 2; ++round) {
            QVERIFY(link.transport.connectTransport(false));
            const int before = link.transport.reads();
            QTRY_VERIFY(link.transport.reads() > before + 3);
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^discarded first events: .*01 81")));
            link.transport.feed({QByteArray::fromHex("030181"), QByteArray::fromHex("030101")});
            QTRY_COMPARE(received.count(), round + 1);
            QCOMPARE(received.last().at(0).value<quint8>(), quint8(0x01));
            QVERIFY(link.transport.disconnectTransport());
        }
    }

    // The reader polls only while the link is connected, and again after a reconnect.
    void pollingFollowsTheConnection()
    {
        Link link;
        QVERIFY(link.open());
        QVERIFY(link.transport.disconnectTransport());
        // A poll already past its check of the connection may still end; none starts after it.
        QTest::qWait(20);
        const int stopped = link.transport.reads();
        link.transport.feed({QByteArray::fromHex("030181")});
        QTest::qWait(50);
        QCOMPARE(link.transport.pendingChunks(), 1);
        QCOMPARE(link.transport.reads(), stopped);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^discarded first events: ")));
        QVERIFY(link.transport.connectTransport(false));
        QTRY_COMPARE(link.transport.pendingChunks(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_EventStream)
#include "tst_eventstream.moc"
