#include "simulateddevice.h"
#include "threadcall_p.h"

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbusitembase.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustcpserver.h>
#include <TavrexBus1/modbustranslator.h>

#include <QtCore/qpointer.h>
#include <QtCore/qthread.h>
#include <QtQml/qqmlcomponent.h>
#include <QtQml/qqmlengine.h>
#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#include <memory>

namespace {

// The simulated meter behind a Modbus/TCP server on 127.0.0.1, answering on a thread of its own,
// so that exchanges run while the test's thread tears clients down.
class TcpMeter
{
public:
    TcpMeter()
    {
        m_device = new SimulatedDevice;
        m_device->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_device, &QObject::deleteLater);
        m_thread.start();
        callOnOwnerThread(m_device, [this] {
            auto *server = new ModbusTcpServer(0, m_device);
            server->setAddress(QHostAddress::LocalHost);
            m_device->modbuser().translator().addTransport(*server, true, false);
            // A meter that takes its time keeps the client's executor inside an exchange.
            QObject::connect(&m_device->modbuser(), &Modbuser::onReadRegisters, m_device,
                             [] { QThread::usleep(500); });
            if (server->connectTransport(false))
                m_port = server->port();
        });
    }

    ~TcpMeter()
    {
        m_thread.quit();
        m_thread.wait();
    }

    int port() const { return m_port; }

private:
    QThread m_thread;
    SimulatedDevice *m_device = nullptr;
    int m_port = 0;
};

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

// Clients declared in QML go away in whatever order the engine or the application picks, while
// their executor is in the middle of an exchange; nothing may touch what is already gone.
class tst_ClientLifetime : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        TcpMeter meter;
        QVERIFY(meter.port() > 0);
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(componentText(loopback, meter.port()), QUrl());
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

QTEST_GUILESS_MAIN(tst_ClientLifetime)
#include "tst_clientlifetime.moc"
