#include "packettesting.h"
#include "recordingclient.h"
#include "signaltexts.h"

#include <TavrexBus1/tavrexbus1.h>

#include <QtQml/qqmlcomponent.h>
#include <QtQml/qqmlengine.h>
#include <QtTest/QAbstractItemModelTester>
#include <QtTest/QtTest>

#include <memory>

using PacketTesting::hex;

namespace {

const QString noClient = QStringLiteral("you should assign 'client' - property");

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

// What every item does, whatever its type: requests and their outcomes, its client, the views,
// trend and array it keeps, and the file, report, container and reader items built on it.
class tst_ItemBase : public QObject
{
    Q_OBJECT

    RecordingClient *client = nullptr;
    std::unique_ptr<ModbusUInt16> item; // on the client from the start

private Q_SLOTS:
    void init()
    {
        client = new RecordingClient;
        client->setConnected(true);
        item = std::make_unique<ModbusUInt16>();
        item->setClient(client);
    }

    void cleanup()
    {
        item.reset();
        delete client;
        client = nullptr;
    }

    // A failure keeps the state (the QML suite checks its error); a success installs bytes and counters.
    void readOutcomeReachesTheItem()
    {
        item->setValue(7);
        QVERIFY(item->read());
        QVERIFY(!client->completeNext({hex("1234")}, TavrexBus::TaskFailed, QStringLiteral("no answer")));
        QCOMPARE(item->value(), quint16(7));
        QCOMPARE(item->readCount(), quint64(0));

        QSignalSpy actual(item.get(), &ModbusItemBase::actualValueChanged);
        QVERIFY(item->read());
        QVERIFY(client->completeNext({hex("1234")}));
        QCOMPARE(item->value(), quint16(0x1234));
        QVERIFY(item->actualValue());
        QVERIFY(item->read());
        QVERIFY(!item->actualValue());
        QVERIFY(client->completeNext({hex("1234")}));
        QCOMPARE(item->readCount(), quint64(2));
        QCOMPARE(actual.count(), 3);

        client->syncState = TavrexBus::TaskFailed;
        QVERIFY(!item->readSync());
        QCOMPARE(item->value(), quint16(0x1234));
    }

    void resultOfAnotherShapeIsDroppedSilently_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("fewer elements than count") << "elements";
        QTest::newRow("address moved") << "address";
        QTest::newRow("force changed") << "force";
    }

    void resultOfAnotherShapeIsDroppedSilently()
    {
        QFETCH(QString, change);
        item->setCount(2);
        QVERIFY(item->read());
        ModbusBytesArray answer{hex("0001"), hex("0002")};
        if (change == QLatin1String("elements"))
            answer.removeLast();
        else if (change == QLatin1String("address"))
            item->setAddress(400002);
        else
            item->setForce(true);
        QSignalSpy bytes(item.get(), &ModbusItemBase::bytesChanged);
        QSignalSpy errors(item.get(), &ErrObject::error);
        QVERIFY(!client->completeNext(answer));
        QCOMPARE(bytes.count(), 0);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(item->readCount(), quint64(0));
        QVERIFY(!item->actualValue());
    }

    // write() sends the value's wire form; after writeValue() the value is left to the read that follows.
    void writeSendsWireBytesAndReadAfterWriteReads()
    {
        ModbusUInt8 item(400005);
        item.setClient(client);
        item.setValue(0x2a);
        QVERIFY(item.write());
        ModbusTask *task = client->queued.first();
        QCOMPARE(task->type(), TavrexBus::WriteTask);
        QCOMPARE(task->firstBytes(), (ModbusBytesArray{hex("002a")}));
        QSignalSpy afterWrite(&item, &ModbusItemBase::afterWrite);
        QVERIFY(client->completeNext({}));
        QCOMPARE(afterWrite.count(), 1);

        item.setReadAfterWrite(true);
        QSignalSpy values(&item, &ModbusUInt8::valueChanged);
        QVERIFY(item.writeValue(5));
        QVERIFY(client->completeNext({}));
        QCOMPARE(values.count(), 0);
        QCOMPARE(client->queued.size(), 1);
        QCOMPARE(client->queued.first()->type(), TavrexBus::ReadTask);
        QVERIFY(client->completeNext({hex("0005")}));
        QCOMPARE(item.value(), quint8(5));
    }

    void refusedRequestsReportTheirReason()
    {
        ModbusUInt16 detached;
        QVERIFY(!detached.writeValue(5));
        QCOMPARE(detached.errorString(), noClient);
        QVERIFY(!detached.startReading());

        ModbusUInt16 input(300001);
        ModbusReport report;
        for (ModbusItemBase *readOnly : std::initializer_list<ModbusItemBase *>{&input, &report}) {
            readOnly->setClient(client);
            QVERIFY(!readOnly->write());
            QCOMPARE(readOnly->errorString(), QStringLiteral("can't write: object is readonly"));
        }
        QVERIFY(!report.createModbusTask(TavrexBus::WriteTask, 0));
        QVERIFY(client->queued.isEmpty());
    }

    void beforeReadCanCancelAndCannotReenter()
    {
        bool inner = true;
        bool cancelling = false;
        connect(item.get(), &ModbusItemBase::beforeRead, this, [&](bool &cancel) {
            inner = item->read();
            cancel = cancelling;
        });
        QVERIFY(item->read());
        QVERIFY(!inner);
        QCOMPARE(client->queued.size(), 1);
        cancelling = true;
        QVERIFY(!item->read());
        QCOMPARE(client->queued.size(), 1);
    }

    // Live writing writes value changes but not reads; live reading reads on changes of request or link.
    void liveFlagsSendRequestsOnChanges()
    {
        item->setLiveWrite(true);
        item->setFormatValue(QStringLiteral("9"));
        QCOMPARE(client->queued.size(), 1);
        QCOMPARE(client->queued.first()->type(), TavrexBus::WriteTask);
        client->queued.clearWithDelete();
        QVERIFY(item->read());
        QVERIFY(client->completeNext({hex("0010")}));
        QCOMPARE(item->value(), quint16(0x10));
        QVERIFY(client->queued.isEmpty());
        item->setLiveWrite(false);

        item->setLiveRead(true);
        item->setAddress(400100);
        QCOMPARE(client->queued.size(), 1);
        item->setCount(2);
        QCOMPARE(client->queued.size(), 2);
        client->setConnected(false);
        QCOMPARE(client->queued.size(), 3);
        item->setAddress(400200);
        QCOMPARE(client->queued.size(), 3);
        item->setLiveRead(false);
    }

    void readDuringInitialisationWaitsForCompletion()
    {
        ModbusUInt16 item;
        item.classBegin();
        item.setClient(client);
        QVERIFY(!item.read());
        QVERIFY(!item.read());
        item.setValue(4);
        QVERIFY(!item.write());
        QVERIFY(client->queued.isEmpty());
        item.componentComplete();
        QCOMPARE(client->queued.size(), 1);
        QCOMPARE(client->queued.first()->type(), TavrexBus::ReadTask);
    }

    void intervalReadingRegistersAnIntervalTask()
    {
        item->setInterval(250);
        item->setIntervalReading(true);
        QCOMPARE(client->intervalTasks.size(), 1);
        QCOMPARE(client->intervalTasks.first()->interval(), 250);
        item->setInterval(500);
        QCOMPARE(client->intervalTasks.size(), 1);
        QCOMPARE(client->intervalTasks.first()->interval(), 500);
        item->setAddress(400003);
        QCOMPARE(dynamic_cast<ModbusTaskAddressed *>(client->intervalTasks.first())->address(), 400003u);

        // A reading counter switches interval reading off after that many reads.
        item->setReadingCounter(2);
        for (int i = 0; i < 2; ++i) {
            QVERIFY(item->read());
            QVERIFY(client->completeNext({hex("0001")}));
        }
        QCOMPARE(item->readingCounter(), 0);
        QVERIFY(!item->intervalReading());
        QVERIFY(client->intervalTasks.isEmpty());
    }

    void deviceAddressFollowsClientUntilSet()
    {
        client->setDeviceAddress(13);
        QCOMPARE(item->deviceAddress(), 13);
        item->setDeviceAddress(256);
        QVERIFY(!item->useClientDeviceAddress());
        QCOMPARE(item->deviceAddress(), 13);
        client->setDeviceAddress(14);
        QCOMPARE(item->deviceAddress(), 13);
        item->setUseClientDeviceAddress(true);
        QCOMPARE(item->deviceAddress(), 14);
        // A request keeps the address it was made for.
        QVERIFY(item->read());
        client->setDeviceAddress(15);
        QCOMPARE(client->queued.first()->deviceAddress(), quint8(14));
    }

    // Neither the item nor the client takes a device address outside 0-255, and both say why.
    void deviceAddressOutOfRangeIsReported_data()
    {
        QTest::addColumn<bool>("onClient");
        QTest::addColumn<int>("value");
        QTest::newRow("item 256") << false << 256;
        QTest::newRow("item negative") << false << -1;
        QTest::newRow("client 300") << true << 300;
    }

    void deviceAddressOutOfRangeIsReported()
    {
        QFETCH(bool, onClient);
        QFETCH(int, value);
        ErrObject *owner = onClient ? static_cast<ErrObject *>(client) : item.get();
        QSignalSpy errors(owner, &ErrObject::error);
        QVERIFY(owner->setProperty("deviceAddress", value));
        QCOMPARE(owner->property("deviceAddress").toInt(), 1);
        QCOMPARE(signalTexts(errors), QStringList{QString("device address %1 is out of range 0-255").arg(value)});
    }

    // An array that would wrap past 16 bits is kept, but nothing is queued for it and every request says why.
    void registersPastTheAddressRangeAreRefused()
    {
        item->setAddress(465536);
        item->setCount(2);
        QSignalSpy errors(item.get(), &ErrObject::error);
        QVERIFY(!item->read());
        QVERIFY(!item->writeValue(1));
        item->setIntervalReading(true);
        QCOMPARE(signalTexts(errors), QStringList(3, "register 465537 is out of the 16-bit address range"));
        QVERIFY(client->queued.isEmpty());
        QVERIFY(client->intervalTasks.isEmpty());
        QCOMPARE(item->address(), 465536u);
    }

    // readers: groups of the items read; keys: the groups the client announces.
    void groupReads_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<QStringList>("readers");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("readAll except a") << "readAll" << QStringList{"a"} << QStringList{"", "b"} << QStringList{"a"};
        QTest::newRow("readAll empty set") << "readAll" << QStringList{} << QStringList{"", "a", "b"} << QStringList{};
        QTest::newRow("readGroups empty set") << "readGroups" << QStringList{} << QStringList{""} << QStringList{};
    }

    void groupReads()
    {
        QFETCH(QString, call);
        QFETCH(QStringList, groups);
        QFETCH(QStringList, readers);
        QFETCH(QStringList, keys);
        ModbusUInt16 first, second, offline;
        first.setGroup(QStringLiteral("a"));
        second.setGroup(QStringLiteral("b"));
        first.setClient(client);
        second.setClient(client);
        RecordingClient otherLink;
        offline.setClient(&otherLink);
        QStringList announced;
        const auto record = [&](const QHash<QString, bool> &set) {
            announced = set.keys();
            announced.sort();
        };
        connect(client, &ModbusClient::readingAll, this, record);
        connect(client, &ModbusClient::readingGroups, this, record);

        if (call == QLatin1String("readAll"))
            client->readAll(groups);
        else
            client->readGroups(groups);
        QStringList read;
        for (ModbusTask *task : std::as_const(client->queued))
            read << task->firstItem()->group();
        QCOMPARE(read, readers);
        QCOMPARE(announced, keys);
        QVERIFY(otherLink.queued.isEmpty());
    }

    void clientSwitchMovesRegistrationAndAborts()
    {
        item->setIntervalReading(true);
        QCOMPARE(client->registered, (QList<ModbusItemBase *>{item.get()}));
        QCOMPARE(client->intervalTasks.size(), 1);
        RecordingClient other;
        item->setClient(&other);
        QCOMPARE(client->unregistered, (QList<ModbusItemBase *>{item.get()}));
        QVERIFY(client->intervalTasks.isEmpty());
        QCOMPARE(other.intervalTasks.size(), 1);
        QVERIFY(!item->connected());

        QSignalSpy aborted(&other, &ModbusClient::abortExecuting);
        item->abortExecuting();
        QCOMPARE(aborted.count(), 1);
        QCOMPARE(aborted.first().first().value<ModbusItemBase *>(), item.get());
        item->setClient(nullptr);
        item->abortExecuting();
        QCOMPARE(aborted.count(), 1);
    }

    // The item deletes a later one as it learns that its client is gone.
    void itemOutlivingItsClientIsSafe()
    {
        item->setIntervalReading(true);
        item->setReadOnConnect(true);
        QVERIFY(item->read());
        QVERIFY(item->connected());
        QPointer<ModbusUInt16> later = new ModbusUInt16(400002);
        later->setClient(client);
        connect(item.get(), &ModbusItemBase::clientChanged, this, [&] { delete later.data(); });
        QSignalSpy clientChanges(item.get(), &ModbusItemBase::clientChanged);
        QSignalSpy connection(item.get(), &ModbusItemBase::connectedChanged);
        delete client;
        client = nullptr;
        QVERIFY(later.isNull());
        QCOMPARE(item->client(), nullptr);
        QCOMPARE(clientChanges.count(), 1);
        QCOMPARE(connection.count(), 1);
        QVERIFY(!item->connected());
        // Losing the client must not start a read-on-connect read.
        QCOMPARE(item->errorCount(), quint64(0));
        QVERIFY(!item->read());
        QCOMPARE(item->errorString(), noClient);
    }

    void reportSplitsNameAndVersion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QVariantList>("parts");
        QTest::newRow("name and version") << "Meter  1.2.3" << "Meter" << "1.2.3" << QVariantList{"1", "2", "3"};
        QTest::newRow("empty part kept") << "Meter 2..5" << "Meter" << "2..5" << QVariantList{"2", "", "5"};
        QTest::newRow("no blank") << "Meter" << "" << "" << QVariantList{};
        QTest::newRow("empty") << "" << "" << "" << QVariantList{};
    }

    void reportSplitsNameAndVersion()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, version);
        QFETCH(QVariantList, parts);
        ModbusReport report;
        report.setValue(QStringLiteral("Other 9.9"));
        report.setValue(text);
        QCOMPARE(report.deviceName(), name);
        QCOMPARE(report.deviceVersion(), version);
        QCOMPARE(report.deviceVersionList(), parts);
        QCOMPARE(report.formatValue(), text);
    }

    // The value is the bytes in hex; an answer meant for another stretch of the file is dropped.
    void fileItemHoldsItsStretchInHex()
    {
        ModbusFile file;
        file.setFile(7);
        file.setOffset(12);
        file.setLength(3);
        QSignalSpy changed(&file, &ModbusFile::valueChanged);
        file.setValue(QStringLiteral("0A0b0C"));
        file.setValue(QStringLiteral("0a0b0c"));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(file.value(), QStringLiteral("0a0b0c"));
        QCOMPARE(file.requestItemModbusBytesCount(), 4);
        QCOMPARE(file.getModbusBytes().first().size(), 4);

        file.setLength(2);
        file.setClient(client);
        const QString before = file.value();
        QVERIFY(file.read());
        auto *task = dynamic_cast<ModbusTaskFile *>(client->queued.first());
        QVERIFY(task);
        QCOMPARE(task->file(), quint8(7));
        file.setOffset(4);
        QVERIFY(!client->completeNext(ModbusBytesArray{ModbusBytes::fromHex("beef")}));
        QCOMPARE(file.value(), before);
        QVERIFY(file.read());
        QVERIFY(client->completeNext(ModbusBytesArray{ModbusBytes::fromHex("beef")}));
        QCOMPARE(file.value(), QStringLiteral("beef"));
    }

    // Declared in QML, the container takes items only, and a reader holds its item from completion.
    void declaredContainerAndReader()
    {
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(R"(
            import QtQml 2.15
            import TavrexBus 1.0
            ModbusItems {
                ModbusUInt16 { id: value; address: 400001 }
                QtObject { objectName: "stranger" }
                ModbusFloat { address: 400002 }
                property ModbusItemReader reader: ModbusItemReader { item: value }
            })", QUrl());
        const QRegularExpression stranger("modbusItems.items: you can add only objects of 'ModbusItemBase' type");
        QTest::ignoreMessage(QtWarningMsg, stranger);
        std::unique_ptr<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        auto *items = qobject_cast<ModbusItems *>(root.get());
        QCOMPARE(items->count(), 2);
        QCOMPARE(items->at(0)->parent(), items);
        QVERIFY(!items->at(2));
        QCOMPARE(items->at(0)->intervalReadingCounter(), 1u);
        root->property("reader").value<ModbusItemReader *>()->setActive(false);
        QCOMPARE(items->at(0)->intervalReadingCounter(), 0u);
        delete items->at(0);
        QCOMPARE(items->count(), 1);
    }

    // Readers share an item, one through a view of it; a reader forgets an item that is destroyed.
    void readersCountOnOneItem()
    {
        ModbusUInt16 item(400001);
        item.setClient(client);
        ModbusUInt16 view;
        view.setSource(&item);
        ModbusItemReader first;
        ModbusItemReader second;
        first.setItem(&item);
        second.setItem(&view);
        QCOMPARE(item.intervalReadingCounter(), 2u);
        QCOMPARE(client->intervalTasks.size(), 1);
        first.setActive(false);
        QVERIFY(item.intervalReading());
        second.setItem(nullptr);
        QVERIFY(!item.intervalReading());
        QCOMPARE(client->intervalTasks.size(), 0);
        // An end without a beginning must not wrap the counter round.
        view.endReading();
        QCOMPARE(item.intervalReadingCounter(), 0u);
        first.setActive(true);
        QVERIFY(item.intervalReading());

        auto *doomed = new ModbusUInt16(400002);
        first.setItem(doomed);
        QSignalSpy changed(&first, &ModbusItemReader::itemChanged);
        delete doomed;
        QCOMPARE(first.item(), nullptr);
        QCOMPARE(changed.count(), 1);
    }

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

    // -1 selects the value last read; an entry selects a past value and follows it as the trend changes.
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

    // What a read of the parent tells its children (the QML suite checks layout and write-through).
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
        // Bit 3 lives in byte 0, bit 11 in byte 1: set in byte 1 only, it reads clear straight and set reversed.
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

QTEST_MAIN(tst_ItemBase)
#include "tst_itembase.moc"
