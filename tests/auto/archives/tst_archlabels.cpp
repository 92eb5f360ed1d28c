#include "archivefixture.h"

#include <TavrexBus1/modbusarchlabel.h>

#include <QtTest/qsignalspy.h>

#include <ctime>

namespace {

// An hourly archive of 2024-03-04 11:00 to 2024-03-05 10:00 without 03:00 and 05:00-06:00 of the 5th,
// and an index archive of records 1-20 without 8-9.
const QByteArray map = R"({ "archives": [
    { "index": 1, "type": "time", "interval": "hour", "records": 24, "last": "2024-03-05T10:00:00",
      "gaps": [ "2024-03-05T03:00:00", [ "2024-03-05T05:00:00", "2024-03-05T06:00:00" ] ] },
    { "index": 0, "type": "index", "records": 20, "gaps": [ [ 8, 9 ] ] } ] })";

quint32 label(const QString &text)
{
    return TavrexBus::archLabelToSeconds(QDateTime::fromString(text, textFormat));
}

QString text(const ModbusArchLabel &item, quint32 value)
{
    return item.archType() == TavrexBus::IndexArch ? QString::number(value)
                                                   : item.getVariantLabel(value, true).toString();
}

QStringList texts(const ModbusArchLabel &item, const QList<quint32> &values)
{
    QStringList result;
    for (quint32 value : values)
        result << text(item, value);
    return result;
}

} // namespace

// Labels are wall-clock: the suite runs in a zone with daylight saving.
class tst_ArchLabels : public QObject
{
    Q_OBJECT

private:
    ArchiveFixture m_device;

    void setUpItem(ModbusArchLabel &item, const QString &from, int count)
    {
        item.setTimeFormat(textFormat);
        item.setArchType(from.contains(u'-') ? TavrexBus::TimeArch : TavrexBus::IndexArch);
        item.setArchIndex(item.archType() == TavrexBus::TimeArch ? 1 : 0);
        item.setVariantLabel(from);
        item.setCount(count);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_device.start(map));
    }

    // The device lists the labels that exist; the neighbours come from around them.
    void devicePresenceSkipsGaps_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("prev");  // empty: none before
        QTest::addColumn<QString>("next");  // empty: none after
        QTest::newRow("across gaps") << "2024-03-05 02:00" << 3
                                     << QStringList{"2024-03-05 02:00", "2024-03-05 04:00", "2024-03-05 07:00"}
                                     << "2024-03-05 01:00" << "2024-03-05 08:00";
        QTest::newRow("from inside a gap") << "2024-03-05 05:30" << 1 << QStringList{"2024-03-05 07:00"}
                                           << "2024-03-05 04:00" << "2024-03-05 08:00";
        QTest::newRow("first record") << "2024-03-04 11:00" << 2
                                      << QStringList{"2024-03-04 11:00", "2024-03-04 12:00"} << ""
                                      << "2024-03-04 13:00";
        QTest::newRow("before the archive") << "2024-02-01 00:00" << 1 << QStringList{"2024-03-04 11:00"} << ""
                                            << "2024-03-04 12:00";
        QTest::newRow("last record") << "2024-03-05 09:00" << 3
                                     << QStringList{"2024-03-05 09:00", "2024-03-05 10:00"} << "2024-03-05 08:00"
                                     << "";
        QTest::newRow("index archive") << "6" << 3 << QStringList{"6", "7", "10"} << "5" << "11";
    }

    void devicePresenceSkipsGaps()
    {
        QFETCH(QString, from);
        QFETCH(int, count);
        QFETCH(QStringList, labels);
        QFETCH(QString, prev);
        QFETCH(QString, next);
        ModbusArchLabel item;
        setUpItem(item, from, count);
        item.setFunc(TavrexBus::Func67);
        item.setUsePrev(true);
        item.setUseNext(true);
        item.setUseFirst(true);
        item.setUseLast(true);
        const quint32 computedPrev = item.prevLabelInt();
        item.setClient(m_device.client.get());
        QVERIFY(readAndWait(item));
        QCOMPARE(texts(item, item.labels()), labels);
        QCOMPARE(text(item, item.valueInt()), labels.first());
        QCOMPARE(item.prevLabelExists(), !prev.isEmpty());
        // A neighbour the device does not have leaves the label as it was.
        QCOMPARE(text(item, item.prevLabelInt()), prev.isEmpty() ? text(item, computedPrev) : prev);
        QCOMPARE(item.nextLabelExists(), !next.isEmpty());
        if (!next.isEmpty())
            QCOMPARE(text(item, item.nextLabelInt()), next);
        const bool time = item.archType() == TavrexBus::TimeArch;
        QCOMPARE(text(item, item.firstLabelInt()), time ? "2024-03-04 11:00" : "1");
        QCOMPARE(text(item, item.lastLabelInt()), time ? "2024-03-05 10:00" : "20");
    }

    // Function 65 devices have no presence function: the labels are computed on the calendar fields,
    // across month and year ends and through daylight-saving changes of the local zone (the calendar
    // itself is the label helpers' and tested with them).
    void computedLabelsFollowTheWallClock_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("prev");
        QTest::addColumn<QString>("next");
        QTest::newRow("months") << int(TavrexBus::Month) << "2024-11-01 00:00"
                                << QStringList{"2024-11-01 00:00", "2024-12-01 00:00", "2025-01-01 00:00"}
                                << "2024-10-01 00:00" << "2025-02-01 00:00";
        QTest::newRow("clocks go forward") << int(TavrexBus::Hour) << "2024-03-31 01:00"
                                           << QStringList{"2024-03-31 01:00", "2024-03-31 02:00", "2024-03-31 03:00"}
                                           << "2024-03-31 00:00" << "2024-03-31 04:00";
        QTest::newRow("clocks go back") << int(TavrexBus::Hour) << "2024-10-27 01:00"
                                        << QStringList{"2024-10-27 01:00", "2024-10-27 02:00", "2024-10-27 03:00"}
                                        << "2024-10-27 00:00" << "2024-10-27 04:00";
    }

    void computedLabelsFollowTheWallClock()
    {
        QFETCH(int, interval);
        QFETCH(QString, from);
        QFETCH(QStringList, labels);
        QFETCH(QString, prev);
        QFETCH(QString, next);
        ModbusArchLabel item;
        setUpItem(item, from, int(labels.size()));
        item.setArchInterval(TavrexBus::ArchInterval(interval));
        item.setUsePrev(true);
        item.setUseNext(true);
        item.setClient(m_device.client.get());
        QVERIFY(readAndWait(item));
        QCOMPARE(texts(item, item.labels()), labels);
        QCOMPARE(text(item, item.prevLabelInt()), prev);
        QCOMPARE(text(item, item.nextLabelInt()), next);
    }

    // QML may give a label as text in timeFormat, as a date-time or as a number.
    void labelTextAndDateTimeAgree_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("ordinary") << "2024-03-05 10:00";
        QTest::newRow("in the spring-forward gap") << "2024-03-31 02:30";
        QTest::newRow("in the repeated autumn hour") << "2024-10-27 02:30";
        QTest::newRow("last valid label") << "2069-12-31 23:59";
    }

    void labelTextAndDateTimeAgree()
    {
        QFETCH(QString, text);
        ModbusArchLabel byText;
        byText.setTimeFormat(textFormat);
        QSignalSpy valueChanged(&byText, &ModbusArchLabel::valueChanged);
        byText.setVariantLabel(text);
        const quint32 expected = label(text);
        QVERIFY(expected != TavrexBus::InvalidTimeLabel);
        QCOMPARE(byText.label(), expected);
        QCOMPARE(byText.property("value"), byText.variantLabel());
        QCOMPARE(valueChanged.count(), 1);
        ModbusArchLabel byTime;
        byTime.setVariantLabel(byText.variantLabel());
        QCOMPARE(byTime.label(), expected);
        QCOMPARE(byText.getVariantLabel(expected, true).toString(), text);
        ModbusArchLabel byNumber;
        byNumber.setVariantLabel(QVariant(expected));
        QCOMPARE(byNumber.label(), expected);
    }

    void usePrevReadsALiveItemAtOnce()
    {
        ModbusArchLabel item;
        setUpItem(item, "2024-03-05 02:00", 1);
        item.setFunc(TavrexBus::Func67);
        item.setLiveRead(true);
        item.setClient(m_device.client.get());
        QTRY_VERIFY(item.connected());
        QTRY_COMPARE(item.readCount(), 1u);
        item.setUsePrev(true);
        QTRY_COMPARE(item.readCount(), 2u);
        QVERIFY(item.prevLabelExists());
        item.setUsePrev(false);
        QVERIFY(readAndWait(item));
        QCOMPARE(item.readCount(), 3u);
    }
};

int main(int argc, char **argv)
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QCoreApplication app(argc, argv);
    tst_ArchLabels suite;
    return QTest::qExec(&suite, argc, argv);
}

#include "tst_archlabels.moc"
