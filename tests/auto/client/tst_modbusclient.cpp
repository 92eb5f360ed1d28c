#include "programrun.h"
#include "signaltexts.h"
#include "simulateddevice.h"
#include "threadcall_p.h"

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbustaskaddressed.h>
#include <TavrexBus1/modbustaskserver.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustranslator.h>
#include <TavrexBus1/modbusuint16.h>

#include <QtCore/qelapsedtimer.h>
#include <QtCore/qpointer.h>
#include <QtCore/qsemaphore.h>
#include <QtCore/qthread.h>
#include <QtCore/qtimer.h>
#include <QtQml/qqmlcomponent.h>
#include <QtQml/qqmlengine.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#include <atomic>
#include <memory>

namespace {

// Polling at short intervals keeps the executor inside an exchange most of the time. The
// loopback server lives on the test's thread: an exchange waits for that thread to answer.
const char *const pollingClient = R"(
    import QtQml 2.15
    import TavrexBus 1.0
    QtObject {
        property QtObject device: %1
        property ModbusTransport link: %2
        property ModbusClient client: ModbusClient {
            transport: link
            ModbusFloat { address: 300001; interval: 10; intervalReading: true }
            ModbusUInt16 { address: 400001; interval: 1; intervalReading: true }
            ModbusReport { interval: 2; intervalReading: true }
        }
    }
)";

enum class Order { TransportFirst, ClientFirst, ItemsFirst, ServerFirst };

QByteArray componentText(bool loopback, int port)
{
    QByteArray text(pollingClient);
    if (loopback) {
        return text.replace("%1", "ModbusLoopbackServer { connected: true }")
            .replace("%2", "ModbusLoopbackClient { server: device; connected: true }");
    }
    return text.replace("%1", "null").replace(
        "%2", "ModbusTcpClient { address: \"127.0.0.1\"; port: " + QByteArray::number(port) + "; connected: true }");
}

} // namespace

Q_DECLARE_METATYPE(Order)

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

    ModbusUInt16 *addItem(quint32 address)
    {
        auto *item = new ModbusUInt16(address, m_client.get());
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
            callOnOwnerThread(m_device, [this] { m_device->moveToThread(QCoreApplication::instance()->thread()); });
            m_deviceThread->quit();
            m_deviceThread->wait();
            m_deviceThread.reset();
        }
        delete m_device;
        m_device = nullptr;
    }

    void settingsIgnoreOutOfRangeValues_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("notifications");
        QTest::newRow("broadcast address") << QByteArray("deviceAddress") << 0 << 0 << 1;
        QTest::newRow("highest address") << QByteArray("deviceAddress") << 255 << 255 << 1;
        QTest::newRow("address too high") << QByteArray("deviceAddress") << 256 << 1 << 0;
        QTest::newRow("negative address") << QByteArray("deviceAddress") << -1 << 1 << 0;
        QTest::newRow("no retries") << QByteArray("retries") << 0 << 1 << 0;
        QTest::newRow("no archive records") << QByteArray("maxArchRecords") << 0 << 4 << 0;
    }

    void settingsIgnoreOutOfRangeValues()
    {
        QFETCH(QByteArray, property);
        QFETCH(int, value);
        QFETCH(int, expected);
        QFETCH(int, notifications);
        ModbusClient client;
        const QMetaProperty meta = client.metaObject()->property(client.metaObject()->indexOfProperty(property));
        QSignalSpy changes(&client, meta.notifySignal());
        QVERIFY(client.setProperty(property, value));
        QCOMPARE(client.property(property).toInt(), expected);
        QCOMPARE(changes.count(), notifications);
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

    // A synchronous call waits for a device on its own thread; a paused or stopped client says so
    // first, wherever its device answers.
    void synchronousCallRefusalNamesTheCause_data()
    {
        QTest::addColumn<bool>("deviceOnOwnThread");
        QTest::addColumn<bool>("paused");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("message");
        const QString refused = QStringLiteral("modbus client is disabled or paused");
        QTest::newRow("running") << true << false << true << QString();
        QTest::newRow("paused") << true << true << true << refused;
        QTest::newRow("stopped, device on this thread") << false << false << false << refused;
        QTest::newRow("running, device on this thread")
            << false << false << true
            << QStringLiteral("synchronous execution is not possible: the link is answered on the calling thread");
    }

    void synchronousCallRefusalNamesTheCause()
    {
        QFETCH(bool, deviceOnOwnThread);
        QFETCH(bool, paused);
        QFETCH(bool, enabled);
        QFETCH(QString, message);
        setUpLink(deviceOnOwnThread);
        ModbusUInt16 *item = addItem(400003);
        m_client->setPaused(paused);
        m_client->setEnabled(enabled);
        QSignalSpy errors(item, &ErrObject::error);
        QCOMPARE(item->readSync(), message.isEmpty());
        QCOMPARE(m_device->requestCount(), int(message.isEmpty()));
        if (message.isEmpty()) {
            QCOMPARE(item->value(), 20);
            return;
        }
        QCOMPARE(signalTexts(errors), QStringList{message});
    }

    void pausedClientQueuesAndResumes_data()
    {
        QTest::addColumn<bool>("singleResult");
        QTest::newRow("results in batches") << false;
        QTest::newRow("one result per turn") << true;
    }

    void pausedClientQueuesAndResumes()
    {
        QFETCH(bool, singleResult);
        setUpLink(false);
        m_client->setSingleResultProcessing(singleResult);
        m_client->setPaused(true);
        for (quint32 i = 0; i < 3; ++i)
            QVERIFY(addItem(400001 + i)->read());
        QCOMPARE(m_client->queuedTasksCount(), quint64(3));
        QTest::qWait(0);
        QCOMPARE(m_device->requestCount(), 0);
        QSignalSpy executed(m_client.get(), &ModbusClient::executed);
        m_client->setPaused(false);
        QTRY_COMPARE(executed.count(), 3);
        QCOMPARE(m_client->goodTasksCount(), quint64(3));
        QList<quint32> order;
        for (const SimulatedDevice::Request &request : m_device->requests())
            order.append(request.address);
        QCOMPARE(order, (QList<quint32>{400001, 400002, 400003}));
    }

    void forcedWriteIsRepeatedUntilItSucceeds()
    {
        setUpLink(false);
        QString threadName;
        connect(m_link.get(), &Transport::bytesReceived, this,
                [&] { threadName = QThread::currentThread()->objectName(); }, Qt::DirectConnection);
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
        QCOMPARE(threadName, QStringLiteral("Modbus executor thread"));
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

    // Tasks end faster than results are delivered; each start and end still reaches its item.
    void executingIsReportedForEveryTask()
    {
        setUpLink(true);
        constexpr int Reads = 100;
        QList<ModbusUInt16 *> items;
        QList<QList<bool>> seen(3);
        for (quint32 i = 0; i < 3; ++i) {
            ModbusUInt16 *item = addItem(400001 + i);
            connect(item, &ModbusItemBase::executingChanged, this,
                    [item, &seen, i] { seen[i].append(item->executing()); });
            items.append(item);
        }
        for (int read = 0; read < Reads; ++read) {
            for (ModbusUInt16 *item : std::as_const(items))
                QVERIFY(item->read());
        }
        QTRY_COMPARE(m_client->executedTasksCount(), quint64(3 * Reads));
        QList<bool> expected;
        for (int read = 0; read < Reads; ++read)
            expected << true << false;
        for (int i = 0; i < 3; ++i) {
            QTRY_COMPARE(items.at(i)->readCount(), quint64(Reads));
            QCOMPARE(seen.at(i), expected);
        }
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
        survivor->read();
        QTRY_VERIFY(survivor->wasRead());
    }

    // The meter holds each request until let go, and this thread runs no events meanwhile: when the
    // item goes, the result of its first read and the start of its second are both still undelivered.
    // Delivering them while it leaves must not mark the dying item executing.
    void destroyingAnItemBetweenItsResultAndItsNextStart()
    {
        setUpLink(true);
        QSemaphore entered;
        QSemaphore release;
        std::atomic<bool> holding{true};
        const QObject gate; // goes before what its handler uses
        connect(&m_device->modbuser().translator(), &ModbusTranslator::packetReceived, &gate,
                [&] {
                    if (!holding)
                        return;
                    entered.release();
                    release.acquire();
                }, Qt::DirectConnection);
        auto *item = addItem(400001);
        QVERIFY(item->read());
        QVERIFY(item->read());
        QVERIFY(entered.tryAcquire(1, 30000));
        release.release();
        QVERIFY(entered.tryAcquire(1, 30000));
        delete item;
        holding = false;
        release.release();
        QTRY_COMPARE(m_client->executedTasksCount(), quint64(2));
        ModbusUInt16 *survivor = addItem(400002);
        QSignalSpy executing(survivor, &ModbusItemBase::executingChanged);
        QVERIFY(survivor->read());
        QTRY_COMPARE(executing.count(), 2);
        QCOMPARE(survivor->value(), 10);
    }

    // The executor is inside an exchange that only this thread can answer; the client must still
    // go quickly, and its items must not call back into it.
    void destroyingTheClientWithTasksInFlight()
    {
        setUpLink(false);
        QPointer<ModbusUInt16> item = new ModbusUInt16(400001);
        item->setCount(500);
        item->setClient(m_client.get());
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

    // Clients declared in QML go away in whatever order the engine or the application picks, while
    // their executor is in the middle of an exchange; nothing may touch what is already gone.
    void destroyingAPollingClientInAnyOrder_data()
    {
        QTest::addColumn<bool>("loopback");
        QTest::addColumn<Order>("order");
        QTest::newRow("tcp, transport first") << false << Order::TransportFirst;
        QTest::newRow("tcp, client first") << false << Order::ClientFirst;
        QTest::newRow("tcp, items first") << false << Order::ItemsFirst;
        QTest::newRow("loopback, transport first") << true << Order::TransportFirst;
        QTest::newRow("loopback, server first") << true << Order::ServerFirst;
        QTest::newRow("loopback, client first") << true << Order::ClientFirst;
    }

    void destroyingAPollingClientInAnyOrder()
    {
        QFETCH(bool, loopback);
        QFETCH(Order, order);
        // Over TCP the simulator answers from a process of its own while this thread tears clients down.
        SimulatorProcess meter;
        const int port = loopback ? 0 : QUrl(meter.launch({})).port();
        QVERIFY(loopback || port > 0);
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(componentText(loopback, port), QUrl());
        QVERIFY2(component.isReady(), qPrintable(component.errorString()));

        for (int round = 0; round < 100; ++round) {
            std::unique_ptr<QObject> root(component.create());
            QVERIFY(root);
            QPointer<QObject> link = root->property("link").value<QObject *>();
            auto *client = root->property("client").value<ModbusClient *>();
            QSignalSpy executed(client, &ModbusClient::executedTasksCountChanged);
            while (client->executedTasksCount() < quint64(1 + round % 4))
                QVERIFY(executed.wait());
            // One-off reads are taken whether the link is up or not: the executor keeps reaching
            // for the transport while it goes.
            const QList<ModbusItemBase *> items = client->getItems({});
            for (int i = 0; i < 20; ++i)
                items.at(i % items.size())->read();
            switch (order) {
            case Order::TransportFirst:
                // As QML's destroy() does it.
                link->deleteLater();
                QTRY_VERIFY(!link);
                break;
            case Order::ClientFirst:
                delete client;
                break;
            case Order::ItemsFirst:
                qDeleteAll(items);
                break;
            case Order::ServerFirst:
                delete root->property("device").value<QObject *>();
                break;
            }
            root.reset();
            QVERIFY(!link);
        }
    }
};

QTEST_GUILESS_MAIN(tst_ModbusClient)
#include "tst_modbusclient.moc"
