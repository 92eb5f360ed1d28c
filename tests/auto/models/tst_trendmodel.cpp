#include "recordingclient.h"

#include <TavrexBus1/tavrexbus1.h>

#include <QtTest/qabstractitemmodeltester.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

// Trend points from pushed values, item reads and an item's stored trend.
class tst_TrendModel : public QObject
{
    Q_OBJECT

    static QDateTime at(int second) { return QDateTime(QDate(2024, 1, 1), QTime(0, 0, second)); }

    static QList<double> values(const TrendModelBase &model)
    {
        QList<double> list;
        for (int row = 0; row < model.count(); ++row)
            list << model.getValue(row);
        return list;
    }

private Q_SLOTS:
    void capacityKeepsTheNewestPoints_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<QList<double>>("kept");
        QTest::addColumn<QList<double>>("afterTwoMore");
        // Five points 1..5 are in the model when maxCount changes, then 6 and 7 come.
        QTest::newRow("three") << -1 << 3 << QList<double>{ 3, 4, 5 } << QList<double>{ 5, 6, 7 };
        QTest::newRow("one") << -1 << 1 << QList<double>{ 5 } << QList<double>{ 7 };
        QTest::newRow("zero empties once") << -1 << 0 << QList<double>{} << QList<double>{ 6, 7 };
        QTest::newRow("negative removes nothing") << 2 << -5 << QList<double>{ 4, 5 } << QList<double>{ 4, 5, 6, 7 };
        QTest::newRow("larger keeps all") << -1 << 10 << QList<double>{ 1, 2, 3, 4, 5 }
                                          << QList<double>{ 1, 2, 3, 4, 5, 6, 7 };
    }

    void capacityKeepsTheNewestPoints()
    {
        QFETCH(int, before);
        QFETCH(int, after);
        QFETCH(QList<double>, kept);
        QFETCH(QList<double>, afterTwoMore);
        TrendModelBase model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setMaxCount(before);
        for (int i = 1; i <= 5; ++i)
            model.addValue(at(i), i);
        model.setMaxCount(after);
        QCOMPARE(values(model), kept);
        model.addValue(at(6), 6);
        model.addValue(at(7), 7);
        QCOMPARE(values(model), afterTwoMore);
    }

    void pointsAreOrderedByTime_data()
    {
        QTest::addColumn<QList<int>>("seconds");
        QTest::addColumn<QList<double>>("order");
        QTest::newRow("in order") << QList<int>{ 1, 2, 3 } << QList<double>{ 0, 1, 2 };
        QTest::newRow("older than all") << QList<int>{ 5, 6, 1 } << QList<double>{ 2, 0, 1 };
        QTest::newRow("in between") << QList<int>{ 1, 9, 5 } << QList<double>{ 0, 2, 1 };
        QTest::newRow("equal time goes after") << QList<int>{ 4, 4, 4 } << QList<double>{ 0, 1, 2 };
    }

    void pointsAreOrderedByTime()
    {
        QFETCH(QList<int>, seconds);
        QFETCH(QList<double>, order);
        TrendModelBase model;
        for (int i = 0; i < seconds.size(); ++i)
            model.addValue(at(seconds.at(i)), i);
        QCOMPARE(values(model), order);
    }

    void ratioScalesWhatIsShownOnly()
    {
        TrendModelBase model;
        model.addValue(at(1), 2.5);
        model.addValue(at(2), -1);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.setRatio(2);
        model.setRatio(2);
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model.data(model.index(0, 1), TrendModelBase::ValueRole).toDouble(), 5.0);
        QCOMPARE(model.data(model.index(1, 0), TrendModelBase::TimeRole).toDateTime(), at(2));
        QVERIFY(!model.data(model.index(0, 0), Qt::UserRole).isValid());
        QCOMPARE(model.getMaxYValue(), 2.5);
        QCOMPARE(model.getMinYValue(), -1.0);
        QCOMPARE(model.getMinXValue(), at(1));
        QVERIFY(model.removeRows(1, 5));
        QVERIFY(!model.removeRows(1, 1));
        QCOMPARE(model.count(), 1);
    }

    void labelThatIsNoTimeAddsNothing()
    {
        TrendModelBase model;
        QTest::ignoreMessage(QtWarningMsg, "can't convert label 'soon' to datetime");
        model.addValue(QVariant(QStringLiteral("soon")), 1);
        model.addValue(QVariant(at(3)), 1);
        model.setCurrentTime(at(9));
        model.addValue(2);
        QCOMPARE(model.count(), 2);
        QCOMPARE(model.getMaxXValue(), at(9));
    }

    void itemReadsAndStoredTrendBecomePoints()
    {
        RecordingClient client;
        client.setConnected(true);
        ModbusUInt16 item(400001);
        item.setClient(&client);
        item.setMaxTrendSize(5);
        item.setValue(10);
        item.insertTopBytesToTrend(at(1));
        item.setValue(20);
        item.insertTopBytesToTrend(at(2));

        ModbusTrendModel model;
        model.setItem(&item);
        QCOMPARE(values(model), (QList<double>{ 10, 20 }));
        QVERIFY(item.read());
        QVERIFY(client.completeNext(ModbusBytesArray{ ModbusBytes::fromUInt16(30) }));
        QCOMPARE(values(model), (QList<double>{ 10, 20, 30 }));
        model.setEnabled(false);
        QVERIFY(item.read());
        QVERIFY(client.completeNext(ModbusBytesArray{ ModbusBytes::fromUInt16(40) }));
        QCOMPARE(model.count(), 3);

        ModbusTrendModel fresh;
        fresh.setUseItemBuffer(false);
        {
            ModbusUInt16 shortLived(400002);
            fresh.setItem(&shortLived);
            QCOMPARE(fresh.count(), 0);
        }
        QCOMPARE(fresh.item(), nullptr);
    }
};

QTEST_GUILESS_MAIN(tst_TrendModel)
#include "tst_trendmodel.moc"
