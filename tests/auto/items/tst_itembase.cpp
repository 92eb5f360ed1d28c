#include "recordingclient.h"

#include <TavrexBus1/modbusint16.h>
#include <TavrexBus1/modbustaskaddressed.h>
#include <TavrexBus1/modbusuint16.h>
#include <TavrexBus1/modbusuint32.h>
#include <TavrexBus1/modbusuint8.h>

#include <QtTest/QtTest>

namespace {

ModbusBytes hex(const char *text)
{
    return ModbusBytes::fromHex(QByteArray(text));
}

const QString noClient = QStringLiteral("you should assign 'client' - property");

} // namespace

class tst_ItemBase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void readTaskSnapshotsTheItem_data();
    void readTaskSnapshotsTheItem();
    void completedReadInstallsBytesAndCounters();
    void failedTaskReportsItsErrorAndKeepsState();
    void resultOfAnotherShapeIsDroppedSilently_data();
    void resultOfAnotherShapeIsDroppedSilently();
    void writeCarriesTheItemsBytesInWireForm();
    void writeValueSendsGivenBytesAndReadAfterWriteReads();
    void refusedRequestsReportTheirReason();
    void beforeReadCanCancel();
    void reentrantReadIsRefused();
    void liveWriteWritesValueChangesButNotReads();
    void liveReadFollowsRequestAndConnection();
    void readOnConnectReadsOnEveryChange();
    void readDuringInitialisationWaitsForCompletion();
    void intervalReadingRegistersAnIntervalTask();
    void beginAndEndReadingCount();
    void readingCounterSwitchesIntervalReadingOff();
    void deviceAddressFollowsClientUntilSet();
    void groupReads_data();
    void groupReads();
    void collectAndCountItemsByGroup();
    void syncReadReturnsTheOutcome();
    void clientSwitchMovesRegistration();
    void destroyingClientFirstIsSafe_data();
    void destroyingClientFirstIsSafe();
    void abortReachesTheClient();
    void countBelowOneIsIgnored();

private:
    RecordingClient *client = nullptr;
};

void tst_ItemBase::init()
{
    client = new RecordingClient;
    client->setConnected(true);
}

void tst_ItemBase::cleanup()
{
    delete client;
    client = nullptr;
}

void tst_ItemBase::readTaskSnapshotsTheItem_data()
{
    QTest::addColumn<quint32>("address");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("force");
    QTest::addColumn<int>("deviceAddress");
    QTest::addColumn<int>("requestBytes");

    QTest::newRow("holding register") << 400010u << 1 << false << 1 << 4;
    QTest::newRow("input register array") << 300001u << 3 << false << 17 << 12;
    QTest::newRow("forced") << 400001u << 2 << true << 247 << 8;
}

void tst_ItemBase::readTaskSnapshotsTheItem()
{
    QFETCH(quint32, address);
    QFETCH(int, count);
    QFETCH(bool, force);
    QFETCH(int, deviceAddress);
    QFETCH(int, requestBytes);

    ModbusUInt32 item(address);
    item.setCount(count);
    item.setForce(force);
    item.setDeviceAddress(deviceAddress);
    item.setClient(client);
    QVERIFY(item.read());
    QCOMPARE(client->queued.size(), 1);
    auto *task = dynamic_cast<ModbusTaskAddressed *>(client->queued.first());
    QVERIFY(task);
    QCOMPARE(task->type(), TavrexBus::ReadTask);
    QCOMPARE(task->interval(), 0);
    QCOMPARE(task->address(), address);
    QCOMPARE(task->count(), count);
    QCOMPARE(task->force(), force);
    QCOMPARE(int(task->deviceAddress()), deviceAddress);
    QCOMPARE(task->requestBytesCount(), requestBytes);
    QCOMPARE(task->firstItem(), &item);
    QCOMPARE(task->state(), TavrexBus::TaskWaiting);
}

void tst_ItemBase::completedReadInstallsBytesAndCounters()
{
    ModbusUInt16 item;
    item.setClient(client);
    QSignalSpy wasRead(&item, &ModbusItemBase::bytesWasRead);
    QSignalSpy afterRead(&item, &ModbusItemBase::afterRead);
    QSignalSpy readCount(&item, &ModbusItemBase::readCountChanged);
    QSignalSpy actual(&item, &ModbusItemBase::actualValueChanged);

    QVERIFY(item.read());
    QVERIFY(client->completeNext({hex("1234")}));
    QCOMPARE(item.value(), quint16(0x1234));
    QCOMPARE(item.readCount(), quint64(1));
    QVERIFY(item.wasRead());
    QVERIFY(item.actualValue());
    QVERIFY(item.lastReadTime() > QDateTime::fromMSecsSinceEpoch(0));
    QCOMPARE(wasRead.count(), 1);
    QCOMPARE(afterRead.count(), 1);
    QCOMPARE(readCount.count(), 1);

    QVERIFY(item.read());
    QVERIFY(!item.actualValue());
    QVERIFY(client->completeNext({hex("1234")}));
    QCOMPARE(item.readCount(), quint64(2));
    QCOMPARE(actual.count(), 3);
}

void tst_ItemBase::failedTaskReportsItsErrorAndKeepsState()
{
    ModbusUInt16 item;
    item.setClient(client);
    item.setValue(7);
    QSignalSpy errors(&item, &ErrObject::error);
    QVERIFY(item.read());
    QVERIFY(!client->completeNext({hex("1234")}, TavrexBus::TaskFailed, QStringLiteral("no answer")));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(item.errorString(), QStringLiteral("no answer"));
    QCOMPARE(item.value(), quint16(7));
    QCOMPARE(item.readCount(), quint64(0));
    QVERIFY(!item.wasRead());
    QCOMPARE(item.lastReadTime(), QDateTime::fromMSecsSinceEpoch(0));
}

void tst_ItemBase::resultOfAnotherShapeIsDroppedSilently_data()
{
    QTest::addColumn<QString>("change");

    QTest::newRow("fewer elements than count") << "elements";
    QTest::newRow("address moved") << "address";
    QTest::newRow("count changed") << "count";
    QTest::newRow("force changed") << "force";
}

void tst_ItemBase::resultOfAnotherShapeIsDroppedSilently()
{
    QFETCH(QString, change);

    ModbusUInt16 item;
    item.setCount(2);
    item.setClient(client);
    QVERIFY(item.read());
    ModbusBytesArray answer{hex("0001"), hex("0002")};
    if (change == QLatin1String("elements"))
        answer.removeLast();
    else if (change == QLatin1String("address"))
        item.setAddress(400002);
    else if (change == QLatin1String("count"))
        item.setCount(3);
    else
        item.setForce(true);

    QSignalSpy bytes(&item, &ModbusItemBase::bytesChanged);
    QSignalSpy errors(&item, &ErrObject::error);
    QVERIFY(!client->completeNext(answer));
    QCOMPARE(bytes.count(), 0);
    QCOMPARE(errors.count(), 0);
    QCOMPARE(item.readCount(), quint64(0));
    QVERIFY(!item.actualValue());
}

void tst_ItemBase::writeCarriesTheItemsBytesInWireForm()
{
    ModbusUInt8 item(400005);
    item.setClient(client);
    item.setValue(0x2a);
    QVERIFY(item.write());
    ModbusTask *task = client->queued.first();
    QCOMPARE(task->type(), TavrexBus::WriteTask);
    QCOMPARE(task->firstBytes(), (ModbusBytesArray{hex("002a")}));
    QCOMPARE(task->requestBytesCount(), 2);

    QSignalSpy afterWrite(&item, &ModbusItemBase::afterWrite);
    QVERIFY(client->completeNext({}));
    QCOMPARE(item.writeCount(), quint64(1));
    QVERIFY(item.wasWrite());
    QCOMPARE(afterWrite.count(), 1);
    QVERIFY(item.lastWriteTime() > QDateTime::fromMSecsSinceEpoch(0));
}

void tst_ItemBase::writeValueSendsGivenBytesAndReadAfterWriteReads()
{
    ModbusUInt16 item;
    item.setClient(client);
    item.setValue(3);
    item.setReadAfterWrite(true);
    QVERIFY(item.writeValue(5));
    QCOMPARE(client->queued.first()->firstBytes(), (ModbusBytesArray{hex("0005")}));
    QCOMPARE(item.value(), quint16(3));
    QVERIFY(client->completeNext({}));
    QCOMPARE(client->queued.size(), 1);
    QCOMPARE(client->queued.first()->type(), TavrexBus::ReadTask);
    QVERIFY(client->completeNext({hex("0005")}));
    QCOMPARE(item.value(), quint16(5));
}

void tst_ItemBase::refusedRequestsReportTheirReason()
{
    ModbusUInt16 detached;
    QVERIFY(!detached.read());
    QCOMPARE(detached.errorString(), noClient);
    QVERIFY(!detached.write());
    QVERIFY(!detached.startReading());

    ModbusUInt16 input(300001);
    input.setClient(client);
    QVERIFY(input.readOnly());
    QVERIFY(!input.write());
    QCOMPARE(input.errorString(), QStringLiteral("can't write: object is readonly"));
    QVERIFY(client->queued.isEmpty());
}

void tst_ItemBase::beforeReadCanCancel()
{
    ModbusUInt16 item;
    item.setClient(client);
    connect(&item, &ModbusItemBase::beforeRead, this, [](bool &cancel) { cancel = true; });
    QVERIFY(!item.read());
    QVERIFY(client->queued.isEmpty());
}

void tst_ItemBase::reentrantReadIsRefused()
{
    ModbusUInt16 item;
    item.setClient(client);
    bool inner = true;
    connect(&item, &ModbusItemBase::beforeRead, this, [&] { inner = item.read(); });
    QVERIFY(item.read());
    QVERIFY(!inner);
    QCOMPARE(client->queued.size(), 1);
}

void tst_ItemBase::liveWriteWritesValueChangesButNotReads()
{
    ModbusUInt16 item;
    item.setClient(client);
    item.setLiveWrite(true);
    item.setFormatValue(QStringLiteral("9"));
    QCOMPARE(client->queued.size(), 1);
    QCOMPARE(client->queued.first()->type(), TavrexBus::WriteTask);
    QCOMPARE(client->queued.first()->firstBytes(), (ModbusBytesArray{hex("0009")}));
    client->queued.clearWithDelete();

    QVERIFY(item.read());
    QVERIFY(client->completeNext({hex("0010")}));
    QCOMPARE(item.value(), quint16(0x10));
    QVERIFY(client->queued.isEmpty());
}

void tst_ItemBase::liveReadFollowsRequestAndConnection()
{
    ModbusUInt16 item;
    item.setClient(client);
    item.setLiveRead(true);
    item.setAddress(400100);
    QCOMPARE(client->queued.size(), 1);
    item.setCount(2);
    QCOMPARE(client->queued.size(), 2);
    client->setConnected(false);
    QCOMPARE(client->queued.size(), 3);
    item.setAddress(400200);
    QCOMPARE(client->queued.size(), 3);
}

void tst_ItemBase::readOnConnectReadsOnEveryChange()
{
    client->setConnected(false);
    ModbusUInt16 item;
    item.setReadOnConnect(true);
    item.setClient(client);
    QVERIFY(client->queued.isEmpty());
    client->setConnected(true);
    QVERIFY(item.connected());
    QCOMPARE(client->queued.size(), 1);
    client->setConnected(false);
    QCOMPARE(client->queued.size(), 2);
}

void tst_ItemBase::readDuringInitialisationWaitsForCompletion()
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

void tst_ItemBase::intervalReadingRegistersAnIntervalTask()
{
    ModbusUInt16 item;
    item.setClient(client);
    item.setInterval(250);
    QSignalSpy changes(&item, &ModbusItemBase::intervalReadingChanged);
    item.setIntervalReading(true);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(client->intervalTasks.size(), 1);
    QCOMPARE(client->intervalTasks.first()->interval(), 250);

    item.setInterval(500);
    QCOMPARE(client->intervalTasks.size(), 1);
    QCOMPARE(client->intervalTasks.first()->interval(), 500);
    item.setAddress(400003);
    QCOMPARE(dynamic_cast<ModbusTaskAddressed *>(client->intervalTasks.first())->address(), 400003u);

    item.setIntervalReading(false);
    QVERIFY(client->intervalTasks.isEmpty());
}

void tst_ItemBase::beginAndEndReadingCount()
{
    ModbusUInt16 source;
    source.setClient(client);
    ModbusUInt16 view;
    view.setSource(&source);

    view.beginReading();
    view.beginReading();
    QVERIFY(view.intervalReading());
    QVERIFY(source.intervalReading());
    QCOMPARE(source.intervalReadingCounter(), 2u);
    QCOMPARE(client->intervalTasks.size(), 1);
    view.endReading();
    QVERIFY(source.intervalReading());
    view.endReading();
    view.endReading();
    QCOMPARE(source.intervalReadingCounter(), 0u);
    QVERIFY(!source.intervalReading());
    QVERIFY(client->intervalTasks.isEmpty());
}

void tst_ItemBase::readingCounterSwitchesIntervalReadingOff()
{
    ModbusUInt16 item;
    item.setClient(client);
    item.setIntervalReading(true);
    item.setReadingCounter(2);
    for (int i = 0; i < 2; ++i) {
        QVERIFY(item.read());
        QVERIFY(client->completeNext({hex("0001")}));
    }
    QCOMPARE(item.readingCounter(), 0);
    QVERIFY(!item.intervalReading());
    QVERIFY(client->intervalTasks.isEmpty());
}

void tst_ItemBase::deviceAddressFollowsClientUntilSet()
{
    client->setDeviceAddress(12);
    ModbusUInt16 item;
    item.setClient(client);
    QCOMPARE(item.deviceAddress(), 12);
    client->setDeviceAddress(13);
    QCOMPARE(item.deviceAddress(), 13);

    item.setDeviceAddress(256);
    QVERIFY(!item.useClientDeviceAddress());
    QCOMPARE(item.deviceAddress(), 13);
    client->setDeviceAddress(14);
    QCOMPARE(item.deviceAddress(), 13);
    item.setUseClientDeviceAddress(true);
    QCOMPARE(item.deviceAddress(), 14);
}

void tst_ItemBase::groupReads_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<QStringList>("readers");

    QTest::newRow("readAll() reads every item") << true << QStringList{QString()} << QStringList{"", "a", "b"};
    QTest::newRow("readAll except a") << true << QStringList{"a"} << QStringList{"", "b"};
    QTest::newRow("readAll empty set") << true << QStringList{} << QStringList{"", "a", "b"};
    QTest::newRow("readGroups b") << false << QStringList{"b"} << QStringList{"b"};
    QTest::newRow("readGroups empty set") << false << QStringList{} << QStringList{""};
    QTest::newRow("readGroups unknown") << false << QStringList{"c"} << QStringList{};
}

void tst_ItemBase::groupReads()
{
    QFETCH(bool, all);
    QFETCH(QStringList, groups);
    QFETCH(QStringList, readers);

    ModbusUInt16 plain, first, second, offline;
    first.setGroup(QStringLiteral("a"));
    second.setGroup(QStringLiteral("b"));
    for (ModbusUInt16 *item : {&plain, &first, &second})
        item->setClient(client);
    RecordingClient otherLink;
    offline.setClient(&otherLink);

    if (all)
        client->readAll(groups);
    else
        client->readGroups(groups);
    QStringList read;
    for (ModbusTask *task : std::as_const(client->queued))
        read << task->firstItem()->group();
    QCOMPARE(read, readers);
    QVERIFY(otherLink.queued.isEmpty());
}

void tst_ItemBase::collectAndCountItemsByGroup()
{
    ModbusUInt16 plain, grouped;
    grouped.setGroup(QStringLiteral("g"));
    plain.setClient(client);
    grouped.setClient(client);
    QCOMPARE(client->countItems(QStringList()), 1);
    QCOMPARE(client->countItems(QStringList{"g"}), 1);
    QCOMPARE(client->getItems(QStringList{"g", ""}).size(), 2);
    QCOMPARE(client->getVariantItems().first().value<QObject *>(), &plain);
}

void tst_ItemBase::syncReadReturnsTheOutcome()
{
    ModbusUInt16 item;
    item.setClient(client);
    client->syncBytes = {hex("00ff")};
    QVERIFY(item.readSync());
    QCOMPARE(item.value(), quint16(255));
    client->syncState = TavrexBus::TaskFailed;
    QVERIFY(!item.readSync());
    QCOMPARE(item.value(), quint16(255));
}

void tst_ItemBase::clientSwitchMovesRegistration()
{
    ModbusUInt16 item;
    item.setIntervalReading(true);
    item.setClient(client);
    QCOMPARE(client->registered, (QList<ModbusItemBase *>{&item}));
    QCOMPARE(client->intervalTasks.size(), 1);

    RecordingClient other;
    QSignalSpy clientChanges(&item, &ModbusItemBase::clientChanged);
    item.setClient(&other);
    QCOMPARE(clientChanges.count(), 1);
    QCOMPARE(client->unregistered, (QList<ModbusItemBase *>{&item}));
    QVERIFY(client->intervalTasks.isEmpty());
    QCOMPARE(other.intervalTasks.size(), 1);
    QVERIFY(!item.connected());
    client->readAll();
    QVERIFY(client->queued.isEmpty());
}

void tst_ItemBase::destroyingClientFirstIsSafe_data()
{
    QTest::addColumn<bool>("ownedByClient");
    QTest::newRow("item outlives client") << false;
    QTest::newRow("item owned by client") << true;
}

void tst_ItemBase::destroyingClientFirstIsSafe()
{
    QFETCH(bool, ownedByClient);

    QPointer<ModbusUInt16> item = new ModbusUInt16;
    item->setIntervalReading(true);
    item->setReadOnConnect(true);
    item->setClient(client);
    QVERIFY(item->read());
    if (ownedByClient) {
        item->setParent(client);
        delete client;
        client = nullptr;
        QVERIFY(item.isNull());
        return;
    }
    QVERIFY(item->connected());
    QSignalSpy clientChanges(item, &ModbusItemBase::clientChanged);
    QSignalSpy connection(item, &ModbusItemBase::connectedChanged);
    delete client;
    client = nullptr;
    QCOMPARE(item->client(), nullptr);
    QCOMPARE(clientChanges.count(), 1);
    QCOMPARE(connection.count(), 1);
    QVERIFY(!item->connected());
    QCOMPARE(item->errorCount(), quint64(0));
    QVERIFY(!item->read());
    QCOMPARE(item->errorString(), noClient);
    delete item;
}

void tst_ItemBase::abortReachesTheClient()
{
    ModbusUInt16 item;
    item.setClient(client);
    QList<ModbusItemBase *> aborted;
    connect(client, &ModbusClient::abortExecuting, this, [&](ModbusItemBase *i) { aborted << i; });
    item.abortExecuting();
    QCOMPARE(aborted, (QList<ModbusItemBase *>{&item}));
    item.setClient(nullptr);
    item.abortExecuting();
    QCOMPARE(aborted.size(), 1);
}

void tst_ItemBase::countBelowOneIsIgnored()
{
    ModbusUInt16 item;
    QSignalSpy changes(&item, &ModbusItemBase::countChanged);
    item.setCount(0);
    item.setCount(-3);
    QCOMPARE(item.count(), 1);
    QCOMPARE(changes.count(), 0);
    item.setCount(4);
    QCOMPARE(item.requestBytesCount(), 8);
    QCOMPARE(changes.count(), 1);
}

QTEST_GUILESS_MAIN(tst_ItemBase)
#include "tst_itembase.moc"
