#include "packettesting.h"

#include <TavrexBus1/tavrexbus1.h>

#include <QtTest/QAbstractItemModelTester>
#include <QtTest/QtTest>

using PacketTesting::hex;

namespace {

QDateTime at(int minute)
{
    return QDateTime(QDate(2024, 1, 1), QTime(0, minute));
}

QList<QDateTime> labels(const ModbusItemBase &item)
{
    QList<QDateTime> result;
    for (int i = 0; i < item.trendSize(); ++i)
        result << item.trendItem(i)->label;
    return result;
}

void insert(ModbusItemBase &item, int minute, const char *bytes)
{
    item.insertBytesToTrend(at(minute), ModbusBytesArray{hex(bytes)});
}

} // namespace

class tst_ItemViews : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The last label the archive can hold still finds its entry, by seconds and by time.
    void trendLabelsAreWallClockTime()
    {
        const quint32 seconds = 3155759999u;
        const QDateTime label(QDate(2069, 12, 31), QTime(23, 59, 59));
        const TrendBytesItem entry(seconds, hex("0102"));
        QCOMPARE(entry, TrendBytesItem(label, ModbusBytesArray{hex("0102")}));

        ModbusUInt16 item;
        item.setMaxTrendSize(3);
        item.insertBytesToTrend(entry.label, entry.bytes);
        item.insertBytesToTrend(label.addDays(-1), entry.bytes);
        QCOMPARE(item.trendBuffer().indexOf(seconds), 1);
        QCOMPARE(item.trendBuffer().indexOf(label), 1);
        QCOMPARE(item.trendBuffer().maxIndexLabel(), seconds);
        QCOMPARE(item.trendBuffer().maxTimeLabel(), label);
        QCOMPARE(item.trendBuffer().minTimeLabel(), label.addDays(-1));
    }

    void trendKeepsNewestWhenFull_data()
    {
        QTest::addColumn<QList<int>>("inserted");
        QTest::addColumn<QList<int>>("kept");

        QTest::newRow("oldest dropped") << QList<int>{1, 2, 3, 4} << QList<int>{2, 3, 4};
        QTest::newRow("earlier label drops newest") << QList<int>{1, 3, 4, 2} << QList<int>{1, 2, 3};
        QTest::newRow("kept in label order") << QList<int>{3, 1, 2} << QList<int>{1, 2, 3};
    }

    void trendKeepsNewestWhenFull()
    {
        QFETCH(QList<int>, inserted);
        QFETCH(QList<int>, kept);

        ModbusUInt16 item;
        item.setMaxTrendSize(3);
        for (int minute : inserted)
            insert(item, minute, "0001");
        QList<QDateTime> expected;
        for (int minute : kept)
            expected << at(minute);
        QCOMPARE(labels(item), expected);
    }

    void trendModelStaysConsistent_data()
    {
        QTest::addColumn<int>("modelType");
        QTest::newRow("array model") << int(ModbusItemBase::ArrayModel);
        QTest::newRow("trend model") << int(ModbusItemBase::TrendModel);
    }

    void trendModelStaysConsistent()
    {
        QFETCH(int, modelType);

        ModbusUInt16 item;
        item.setModelType(ModbusItemBase::ModelType(modelType));
        QAbstractItemModelTester tester(item.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy sizes(&item, &ModbusItemBase::trendSizeChanged);
        item.setMaxTrendSize(2);
        for (int minute : {5, 1, 7, 3, 7})
            insert(item, minute, "0002");
        QCOMPARE(item.model()->rowCount(), modelType == ModbusItemBase::TrendModel ? 2 : 1);
        if (modelType == ModbusItemBase::TrendModel)
            QCOMPARE(item.getModelValue(0, QStringLiteral("label")), QVariant(labels(item).first()));
        QCOMPARE(sizes.count(), 2);
        item.setTrendIndex(1);
        item.removeTrendItems(0, 5);
        QCOMPARE(item.trendSize(), 0);
        QCOMPARE(item.trendIndex(), -1);
        item.clearTrend();
    }

    // -1 selects the value last read; an entry selects a past value and follows it as the trend
    // changes around it.
    void trendIndexSelectsPastValue()
    {
        ModbusUInt16 item;
        item.setMaxTrendSize(4);
        item.setTopBytesArray({hex("0005")}, ModbusItemBase::ReadChange);
        for (int minute = 1; minute <= 4; ++minute)
            insert(item, minute, QByteArray::number(minute).rightJustified(4, '0').constData());
        QSignalSpy indexes(&item, &ModbusItemBase::trendIndexChanged);
        item.setTrendIndex(0);
        QCOMPARE(item.value(), quint16(1));
        QCOMPARE(item.trendValue(-1), QVariant::fromValue<ushort>(5));
        item.setTrendIndex(4);
        item.setTrendIndex(-2);
        QCOMPARE(item.trendIndex(), 0);
        item.setTrendIndex(-1);
        QCOMPARE(item.value(), quint16(5));
        QCOMPARE(indexes.count(), 2);

        item.setTrendIndex(3);
        QSignalSpy sizes(&item, &ModbusItemBase::trendSizeChanged);
        QSignalSpy bytes(&item, &ModbusItemBase::bytesChanged);
        insert(item, 4, "0009");
        QCOMPARE(item.trendSize(), 4);
        QCOMPARE(sizes.count(), 0);
        QCOMPARE(item.value(), quint16(9));
        QCOMPARE(bytes.count(), 1);
        QCOMPARE(bytes.first().first().value<ModbusItemBase::BytesChangeType>(), ModbusItemBase::TrendIndexChange);

        indexes.clear();
        item.setMaxTrendSize(2);
        QCOMPARE(labels(item), (QList<QDateTime>{at(3), at(4)}));
        QCOMPARE(item.trendIndex(), 1);
        QCOMPARE(indexes.count(), 1);
        QCOMPARE(item.value(), quint16(9));
        item.clearTrend();
        QCOMPARE(item.trendIndex(), -1);
        QCOMPARE(indexes.count(), 2);
        QCOMPARE(item.value(), quint16(5));
    }

    // The model shows the elements by role; the array index selects one as the value.
    void arrayElementsAreModelledAndSelected()
    {
        ModbusUInt16 item;
        QAbstractItemModelTester tester(item.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        item.setCount(3);
        item.setTopBytesArray({hex("0001"), hex("0001"), hex("0003")}, ModbusItemBase::ReadChange);
        QCOMPARE(item.arraySize(), 3);
        QCOMPARE(item.model()->rowCount(), 3);
        QCOMPARE(item.model()->columnCount(), 2);
        QCOMPARE(item.getModelValue(2, QStringLiteral("value")), QVariant::fromValue<ushort>(3));
        QCOMPARE(item.model()->data(item.model()->index(0, 1)), QVariant::fromValue<ushort>(1));
        QCOMPARE(item.getModelValue(0, QStringLiteral("missing")), QVariant());
        QCOMPARE(item.getModelValue(3), QVariant());
        QStringList names = item.getRoleNames().split(u' ', Qt::SkipEmptyParts);
        names.sort();
        QCOMPARE(names, (QStringList{"label", "value"}));

        QSignalSpy indexes(&item, &ModbusItemBase::arrayIndexChanged);
        QSignalSpy values(&item, &ModbusUInt16::valueChanged);
        item.setArrayIndex(1);
        QCOMPARE(indexes.count(), 1);
        QCOMPARE(values.count(), 0);
        item.setArrayIndex(2);
        QCOMPARE(item.value(), quint16(3));
        QCOMPARE(indexes.count(), 2);
        item.setArrayIndex(7);
        QCOMPARE(item.bytes(), ModbusBytes());
        QCOMPARE(item.value(), quint16(0));
        QCOMPARE(indexes.count(), 3);
        item.clearArray();
        QCOMPARE(item.model()->rowCount(), 0);
    }

    // The QML suite declares child views and checks their layout and write-through; here: what a
    // read of the parent tells its children, what they inherit, and the list itself.
    void childrenFollowTheParent()
    {
        ModbusUInt32 record(300001);
        auto *high = new ModbusUInt16;
        auto *low = new ModbusUInt16;
        QQmlListProperty<ModbusItemBase> items = record.items();
        items.append(&items, high);
        items.append(&items, low);
        QCOMPARE(items.at(&items, 2), nullptr);
        QCOMPARE(low->parent(), &record);
        QVERIFY(low->readOnly());
        QSignalSpy lowBytes(low, &ModbusItemBase::bytesChanged);
        record.setTopBytesArray({hex("12345678")}, ModbusItemBase::ReadChange);
        QCOMPARE(high->value(), quint16(0x1234));
        QCOMPARE(low->value(), quint16(0x5678));
        QCOMPARE(lowBytes.count(), 1);
        QCOMPARE(lowBytes.first().first().value<ModbusItemBase::BytesChangeType>(), ModbusItemBase::SourceChange);

        QSignalSpy itemsChanges(&record, &ModbusItemBase::itemsChanged);
        delete low;
        QCOMPARE(items.count(&items), 1);
        items.clear(&items);
        QCOMPARE(items.count(&items), 0);
        QCOMPARE(itemsChanges.count(), 1);
    }

    // A view shows an element or a trend entry of its source, and is left safe when the source goes.
    void viewFollowsSourceArrayAndTrendEntries()
    {
        auto *source = new ModbusUInt16;
        source->setCount(2);
        source->setMaxTrendSize(2);
        source->setTopBytesArray({hex("0001"), hex("0002")}, ModbusItemBase::ReadChange);
        source->insertTopBytesToTrend(at(1));
        source->setTopBytesArray({hex("0011"), hex("0012")}, ModbusItemBase::ReadChange);

        ModbusUInt16 view;
        view.setSource(source);
        view.setSourceArrayIndex(1);
        QCOMPARE(view.value(), quint16(0x12));
        view.setSourceTrendIndex(0);
        QCOMPARE(view.value(), quint16(2));
        source->setTopBytesArray({hex("0021"), hex("0022")}, ModbusItemBase::ReadChange);
        QCOMPARE(view.value(), quint16(2));
        view.setSourceArrayIndex(-1);
        QCOMPARE(view.sourceArrayIndex(), 1);
        QSignalSpy sources(&view, &ModbusItemBase::sourceChanged);
        delete source;
        QCOMPARE(view.source(), nullptr);
        QCOMPARE(sources.count(), 1);
        view.setValue(6);
        QVERIFY(!view.read());

        // A trend entry the source does not have reads as zero.
        ModbusUInt32 plain;
        plain.setTopBytesArray({hex("01020304")}, ModbusItemBase::ReadChange);
        ModbusUInt32 empty;
        empty.setSourceTrendIndex(0);
        empty.setSource(&plain);
        QCOMPARE(empty.bytesArray(), (ModbusBytesArray{hex("00000000")}));
    }

    // The bit view reads its bit from the source word, then writes the opposite back.
    void bitViewReadsAndWritesItsBitOfTheSourceWord_data()
    {
        QTest::addColumn<bool>("reverse");
        QTest::addColumn<ModbusBytes>("word");
        QTest::addColumn<bool>("expected");
        QTest::addColumn<ModbusBytes>("written");
        // getBit(n) reads bit n % 8 of byte n / 8: bit 3 lives in byte 0, bit 11 in byte 1. One word
        // shows both: set in byte 1 only, it reads clear straight and set reversed.
        QTest::newRow("straight, other byte ignored") << false << hex("0008") << false << hex("0808");
        QTest::newRow("reversed reads bit 11") << true << hex("0008") << true << hex("0000");
    }

    void bitViewReadsAndWritesItsBitOfTheSourceWord()
    {
        QFETCH(bool, reverse);
        QFETCH(ModbusBytes, word);
        QFETCH(bool, expected);
        QFETCH(ModbusBytes, written);
        ModbusUInt16 source;
        ModbusBit bit;
        bit.setSourceBitIndex(3);
        bit.setReverseSourceWords(reverse);
        bit.setSource(&source);
        bit.setSourceByteIndex(0);
        source.setTopBytesArray({word}, ModbusItemBase::ReadChange);
        QCOMPARE(bit.value(), expected);
        bit.setValue(!expected);
        QCOMPARE(source.bytes().toHex(), written.toHex());
    }

};

QTEST_GUILESS_MAIN(tst_ItemViews)
#include "tst_itemviews.moc"
