#include "simulateddevice.h"

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbusfile.h>
#include <TavrexBus1/modbusreport.h>
#include <TavrexBus1/modbustaskaddressed.h>
#include <TavrexBus1/modbustaskserver.h>
#include <TavrexBus1/modbusuint16.h>

#include <QtCore/qelapsedtimer.h>
#include <QtCore/qpointer.h>
#include <QtCore/qthread.h>
#include <QtCore/qtimer.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#include <memory>

// A client on a loopback link to a simulated meter. The meter runs on the test's thread or, where
// a synchronous call must be answered while this thread waits, on a thread of its own.
class tst_ModbusClient : public QObject
{
    Q_OBJECT

private:
    void setUpLink(bool deviceOnOwnThread)
    {
        m_device = new SimulatedDevice;
        for (quint32 i = 0; i < 100; ++i)
            m_device->setRegister(400001 + i, int(i * 10));
        m_link = std::make_unique<ModbusLoopbackClient>(*m_device->server());
        if (deviceOnOwnThread) {
            m_deviceThread = std::make_unique<QThread>();
            m_device->moveToThread(m_deviceThread.get());
            m_deviceThread->start();
        }
        QVERIFY(m_link->connectTransport());
        m_client = std::make_unique<ModbusClient>();
        m_client->setTransport(m_link.get());
        QVERIFY(m_client->connected());
    }

    ModbusUInt16 *addItem(quint32 address, const QString &group = QString())
    {
        auto *item = new ModbusUInt16(address, m_client.get());
        item->setGroup(group);
        item->setClient(m_client.get());
        return item;
    }

    std::unique_ptr<QThread> m_deviceThread;
    SimulatedDevice *m_device = nullptr;
    std::unique_ptr<ModbusLoopbackClient> m_link;
    std::unique_ptr<ModbusClient> m_client;

private Q_SLOTS:
    void cleanup()
    {
        m_client.reset();
        m_link.reset();
        if (m_deviceThread) {
            QMetaObject::invokeMethod(m_device, [this] { m_device->moveToThread(QCoreApplication::instance()->thread()); },
                                      Qt::BlockingQueuedConnection);
            m_deviceThread->quit();
            m_deviceThread->wait();
            m_deviceThread.reset();
        }
        delete m_device;
        m_device = nullptr;
    }

    void deviceAddressAcceptsOneByte_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("notifications");
        QTest::newRow("broadcast") << 0 << 0 << 1;
        QTest::newRow("unchanged") << 1 << 1 << 0;
        QTest::newRow("highest") << 255 << 255 << 1;
        QTest::newRow("too high") << 256 << 1 << 0;
        QTest::newRow("negative") << -1 << 1 << 0;
    }

    void deviceAddressAcceptsOneByte()
    {
        QFETCH(int, address);
        QFETCH(int, expected);
        QFETCH(int, notifications);
        ModbusClient client;
        QSignalSpy changes(&client, &ModbusClient::deviceAddressChanged);
        client.setDeviceAddress(address);
        QCOMPARE(client.deviceAddress(), expected);
        QCOMPARE(changes.count(), notifications);
    }

    void settingsIgnoreOutOfRangeValues()
    {
        ModbusClient client;
        QSignalSpy retries(&client, &ModbusClient::retriesChanged);
        client.setRetries(0);
        client.setRetries(3);
        QCOMPARE(client.retries(), 3);
        QCOMPARE(retries.count(), 1);
        client.setMaxArchRecords(0);
        QCOMPARE(client.maxArchRecords(), 4);
        QCOMPARE(client.toString(), QStringLiteral("ModbusClient\n"));
        QCOMPARE(client.toString(true), QStringLiteral("ModbusClient; "));
    }

    void groupReadsCarryTheirGroups_data()
    {
        QTest::addColumn<bool>("all");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("readAll()") << true << QStringList() << QStringList{QString()};
        QTest::newRow("readAll(list)") << true << QStringList{"a", "b"} << QStringList{"a", "b"};
        QTest::newRow("readGroups(list)") << false << QStringList{"x"} << QStringList{"x"};
    }

    void groupReadsCarryTheirGroups()
    {
        QFETCH(bool, all);
        QFETCH(QStringList, groups);
        QFETCH(QStringList, keys);
        ModbusClient client;
        QStringList received;
        const auto record = [&](const QHash<QString, bool> &set) {
            received = set.keys();
            received.sort();
        };
        connect(&client, &ModbusClient::readingAll, this, record);
        connect(&client, &ModbusClient::readingGroups, this, record);
        if (!all)
            client.readGroups(groups);
        else if (groups.isEmpty())
            client.readAll();
        else
            client.readAll(groups);
        QCOMPARE(received, keys);
    }

    void itemsSurviveTheirClient()
    {
        auto *client = new ModbusClient;
        ModbusUInt16 first;
        ModbusUInt16 second;
        first.setClient(client);
        second.setClient(client);
        second.setIntervalReading(true);
        delete client;
        QCOMPARE(first.client(), nullptr);
        QCOMPARE(second.client(), nullptr);
        QVERIFY(!second.startReading());
    }

    // An item's handler deletes a later item, or itself, or an earlier one, while the client
    // calls its items one by one; the rest are still reached and nothing dangles.
    void itemsLeavingDuringAGroupRead_data()
    {
        QTest::addColumn<int>("deleter");
        QTest::addColumn<int>("victim");
        QTest::newRow("a later item") << 0 << 2;
        QTest::newRow("itself") << 1 << 1;
        QTest::newRow("an earlier item") << 2 << 0;
    }

    void itemsLeavingDuringAGroupRead()
    {
        QFETCH(int, deleter);
        QFETCH(int, victim);
        setUpLink(false);
        QList<QPointer<ModbusUInt16>> items;
        for (quint32 i = 0; i < 4; ++i)
            items.append(addItem(400001 + i));
        connect(items.at(deleter), &ModbusItemBase::beforeRead, this, [&](bool &cancel) {
            cancel = deleter == victim;
            delete items.at(victim).data();
        });
        m_client->readAll();
        QVERIFY(items.at(victim).isNull());
        for (const QPointer<ModbusUInt16> &item : std::as_const(items)) {
            if (item)
                QTRY_VERIFY(item->wasRead());
        }
        QCOMPARE(m_client->countItems({}), 3);
        QCOMPARE(m_client->getItems({}).size(), 3);
    }

    void itemDeletingAnotherAsTheClientGoes()
    {
        auto *client = new ModbusClient;
        ModbusUInt16 first;
        auto *second = new ModbusUInt16(400002);
        QPointer<ModbusUInt16> watched(second);
        first.setClient(client);
        second->setClient(client);
        connect(&first, &ModbusItemBase::clientChanged, this, [&] { delete watched.data(); });
        QSignalSpy connectedChanged(&first, &ModbusItemBase::connectedChanged);
        delete client;
        QVERIFY(watched.isNull());
        QCOMPARE(first.client(), nullptr);
        QCOMPARE(connectedChanged.count(), 0);
    }

    void abortReachesTheClient()
    {
        ModbusClient client;
        ModbusUInt16 item(400001);
        item.setClient(&client);
        QSignalSpy aborted(&client, &ModbusClient::abortExecuting);
        item.abortExecuting();
        QCOMPARE(aborted.count(), 1);
        QCOMPARE(aborted.first().first().value<ModbusItemBase *>(), &item);
        item.setClient(nullptr);
        item.abortExecuting();
        QCOMPARE(aborted.count(), 1);
    }

    void executorRunsOnItsNamedThread()
    {
        setUpLink(false);
        QString threadName;
        connect(m_link.get(), &Transport::bytesReceived, this,
                [&] { threadName = QThread::currentThread()->objectName(); }, Qt::DirectConnection);
        ModbusUInt16 *item = addItem(400001);
        QSignalSpy executed(m_client.get(), &ModbusClient::executed);
        QVERIFY(item->read());
        QVERIFY(executed.wait());
        QCOMPARE(threadName, QStringLiteral("Modbus executor thread"));
    }

    void readAndWrite()
    {
        setUpLink(false);
        ModbusUInt16 *item = addItem(400005);
        QSignalSpy executed(m_client.get(), &ModbusClient::executed);
        QVERIFY(item->read());
        QVERIFY(executed.wait());
        QCOMPARE(item->value(), 40);
        QVERIFY(item->wasRead());
        QCOMPARE(item->readCount(), quint64(1));

        item->setValue(1234);
        QVERIFY(item->write());
        QVERIFY(executed.wait());
        QCOMPARE(m_device->reg(400005), 1234);
        QVERIFY(item->wasWrite());
        QCOMPARE(m_client->goodTasksCount(), quint64(2));
        QCOMPARE(m_client->executedTasksCount(), quint64(2));
    }

    void synchronousCalls()
    {
        setUpLink(true);
        ModbusUInt16 *item = addItem(400003);
        QVERIFY(item->readSync());
        QCOMPARE(item->value(), 20);
        item->setValue(77);
        QVERIFY(item->writeSync());
        QCOMPARE(m_device->reg(400003), 77);
    }

    // The device answers on the very thread that would wait for it: refused, never hung.
    void synchronousCallOnTheServersThreadIsRefused()
    {
        setUpLink(false);
        ModbusUInt16 *item = addItem(400003);
        QSignalSpy errors(item, &ErrObject::error);
        QVERIFY(!item->readSync());
        QCOMPARE(errors.count(), 1);
        QVERIFY(errors.first().first().toString().contains(QStringLiteral("loopback server")));
        QCOMPARE(m_device->requestCount(), 0);
    }

    void synchronousCallWhileDisabledOrPaused_data()
    {
        QTest::addColumn<bool>("disable");
        QTest::newRow("disabled") << true;
        QTest::newRow("paused") << false;
    }

    void synchronousCallWhileDisabledOrPaused()
    {
        QFETCH(bool, disable);
        setUpLink(true);
        ModbusUInt16 *item = addItem(400003);
        if (disable)
            m_client->stopReading();
        else
            m_client->setPaused(true);
        QSignalSpy errors(item, &ErrObject::error);
        QVERIFY(!item->readSync());
        QCOMPARE(errors.first().first().toString(), QStringLiteral("modbus client is disabled or paused"));
    }

    void intervalReading()
    {
        setUpLink(false);
        ModbusUInt16 *item = addItem(400002);
        item->setInterval(20);
        item->setIntervalReading(true);
        QCOMPARE(m_client->intervalTasksCount(), quint64(1));
        QTRY_VERIFY(item->readCount() >= 3);
        QCOMPARE(item->value(), 10);
        m_device->setRegister(400002, 99);
        QTRY_COMPARE(item->value(), 99);
        item->setIntervalReading(false);
        QCOMPARE(m_client->intervalTasksCount(), quint64(0));
    }

    void pausedClientQueuesAndResumes()
    {
        setUpLink(false);
        m_client->setPaused(true);
        QList<ModbusUInt16 *> items;
        for (quint32 i = 0; i < 3; ++i) {
            items.append(addItem(400001 + i));
            QVERIFY(items.last()->read());
        }
        QCOMPARE(m_client->queuedTasksCount(), quint64(3));
        QTest::qWait(0);
        QCOMPARE(m_device->requestCount(), 0);
        m_client->setPaused(false);
        QTRY_COMPARE(m_client->goodTasksCount(), quint64(3));
        QCOMPARE(m_client->queuedTasksCount(), quint64(0));
        QList<quint32> order;
        for (const SimulatedDevice::Request &request : m_device->requests())
            order.append(request.address);
        QCOMPARE(order, (QList<quint32>{400001, 400002, 400003}));
    }

    void readOnConnect()
    {
        setUpLink(false);
        m_link->disconnectTransport();
        QTRY_VERIFY(!m_client->connected());
        ModbusUInt16 *item = addItem(400004);
        item->setReadOnConnect(true);
        QVERIFY(m_link->connectTransport());
        QTRY_VERIFY(item->wasRead());
        QCOMPARE(item->value(), 30);
    }

    void groupReads_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<QList<quint32>>("read");
        QTest::newRow("all") << "readAll" << QStringList() << QList<quint32>{400001, 400002, 400003};
        QTest::newRow("all but a") << "readAll" << QStringList{"a"} << QList<quint32>{400001, 400003};
        QTest::newRow("group a") << "readGroups" << QStringList{"a"} << QList<quint32>{400002};
        QTest::newRow("no group") << "readGroups" << QStringList{""} << QList<quint32>{400001};
    }

    void groupReads()
    {
        QFETCH(QString, call);
        QFETCH(QStringList, groups);
        QFETCH(QList<quint32>, read);
        setUpLink(false);
        addItem(400001);
        addItem(400002, QStringLiteral("a"));
        addItem(400003, QStringLiteral("b"));
        if (call == QLatin1String("readAll"))
            groups.isEmpty() ? m_client->readAll() : m_client->readAll(groups);
        else
            m_client->readGroups(groups);
        QTRY_COMPARE(m_client->executedTasksCount(), quint64(read.size()));
        QList<quint32> addresses;
        for (const SimulatedDevice::Request &request : m_device->requests())
            addresses.append(request.address);
        std::sort(addresses.begin(), addresses.end());
        QCOMPARE(addresses, read);
        QCOMPARE(m_client->countItems({QStringLiteral("a"), QStringLiteral("b")}), 2);
        QCOMPARE(m_client->getVariantItems().size(), 1);
    }

    void liveWriting()
    {
        setUpLink(false);
        ModbusUInt16 *item = addItem(400007);
        item->setLiveWrite(true);
        item->setValue(4321);
        QTRY_COMPARE(m_device->reg(400007), 4321);
    }

    void fileAndReport()
    {
        setUpLink(false);
        auto *file = new ModbusFile(m_client.get());
        file->setLength(6);
        file->setOffset(2);
        file->setClient(m_client.get());
        auto *report = new ModbusReport(m_client.get());
        report->setClient(m_client.get());
        QVERIFY(file->read());
        QVERIFY(report->read());
        QTRY_VERIFY(file->wasRead() && report->wasRead());
        QCOMPARE(file->value(), QStringLiteral("040506070809"));
        QCOMPARE(report->deviceName(), QStringLiteral("Meter"));
        QCOMPARE(report->deviceVersion(), QStringLiteral("2.1.7"));

        file->setValue(QStringLiteral("a1b2c3d4e5f6"));
        QVERIFY(file->write());
        QTRY_VERIFY(file->wasWrite());
        QCOMPARE(ModbusBytes::fromOther(m_device->file(), 4, 6).toHex(), QByteArray("a1b2c3d4e5f6"));
        QVERIFY(!report->write());
    }

    void silentDeviceFailsAndRecovers()
    {
        setUpLink(false);
        ModbusUInt16 *item = addItem(400006);
        item->setInterval(20);
        item->setIntervalReading(true);
        QTRY_VERIFY(item->readCount() >= 1);
        QSignalSpy errors(item, &ErrObject::error);
        m_device->setSilent(true);
        QTRY_VERIFY(errors.count() >= 2);
        QCOMPARE(errors.last().first().toString(), QStringLiteral("zero length answer received"));
        QVERIFY(m_client->errorTasksCount() >= 2);
        const quint64 readsBefore = item->readCount();
        m_device->setSilent(false);
        QTRY_VERIFY(item->readCount() > readsBefore + 1);
    }

    void forcedWriteIsRepeatedUntilItSucceeds()
    {
        setUpLink(false);
        ModbusUInt16 *item = addItem(400009);
        item->setForce(true);
        m_device->setSilent(true);
        item->setValue(5);
        QSignalSpy executed(m_client.get(), &ModbusClient::executed);
        QVERIFY(item->write());
        QTRY_VERIFY(m_device->requestCount() >= 3);
        QCOMPARE(executed.count(), 0);
        m_device->setSilent(false);
        QTRY_COMPARE(executed.count(), 1);
        QCOMPARE(m_device->reg(400009), 5);
    }

    void singleResultProcessingDeliversOnePerTurn()
    {
        setUpLink(false);
        m_client->setSingleResultProcessing(true);
        m_client->setPaused(true);
        QList<ModbusUInt16 *> items;
        for (quint32 i = 0; i < 3; ++i) {
            items.append(addItem(400001 + i));
            items.last()->read();
        }
        QSignalSpy executed(m_client.get(), &ModbusClient::executed);
        m_client->setPaused(false);
        QTRY_COMPARE(executed.count(), 3);
        QCOMPARE(m_client->goodTasksCount(), quint64(3));
    }

    void executingFollowsTheRunningTask()
    {
        setUpLink(false);
        ModbusUInt16 *item = addItem(400001);
        bool executingWhileAnswered = false;
        connect(&m_device->modbuser(), &Modbuser::onReadRegisters, this, [&] {
            QCoreApplication::processEvents();
            executingWhileAnswered = item->executing();
        });
        QSignalSpy changes(item, &ModbusItemBase::executingChanged);
        item->read();
        QTRY_COMPARE(changes.count(), 2);
        QVERIFY(executingWhileAnswered);
        QVERIFY(!item->executing());
    }

    void destroyingItemsWithTasksInFlight()
    {
        setUpLink(false);
        QList<QPointer<ModbusUInt16>> items;
        for (quint32 i = 0; i < 50; ++i) {
            ModbusUInt16 *item = addItem(400001 + i);
            item->setCount(50);
            item->setInterval(5);
            item->setIntervalReading(true);
            item->read();
            items.append(item);
        }
        QTRY_VERIFY(m_client->executedTasksCount() >= 5);
        for (const QPointer<ModbusUInt16> &item : std::as_const(items))
            delete item.data();
        QTRY_COMPARE(m_client->queuedTasksCount(), quint64(0));
        QCOMPARE(m_client->intervalTasksCount(), quint64(0));
        ModbusUInt16 *survivor = addItem(400001);
        QSignalSpy executed(m_client.get(), &ModbusClient::executed);
        survivor->read();
        QTRY_VERIFY(survivor->wasRead());
    }

    // The executor is inside an exchange that only this thread can answer; the client must still
    // go quickly, and its items must not call back into it.
    void destroyingTheClientWithTasksInFlight()
    {
        setUpLink(false);
        QPointer<ModbusUInt16> item = new ModbusUInt16(400001);
        item->setCount(500);
        item->setClient(m_client.get());
        QSignalSpy parts(m_client.get(), &ModbusClient::taskPartialExecuted);
        bool destroyed = false;
        QElapsedTimer timer;
        connect(&m_device->modbuser(), &Modbuser::onReadRegisters, this, [&] {
            if (destroyed || m_device->requestCount() < 2)
                return;
            destroyed = true;
            QTimer::singleShot(0, this, [&] {
                timer.start();
                m_client.reset();
            });
        });
        item->read();
        QTRY_VERIFY(!m_client);
        QVERIFY(timer.elapsed() < ModbusClient::ShutdownTimeout);
        QVERIFY(item);
        QCOMPARE(item->client(), nullptr);
        QVERIFY(!item->read());
        delete item.data();
    }
};

QTEST_GUILESS_MAIN(tst_ModbusClient)
#include "tst_modbusclient.moc"
