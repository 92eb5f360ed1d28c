#include "ptypair.h"
#include "recordedeventtransport.h"
#include "signaltexts.h"

#include <TavrexBus1/modbusc55client.h>
#include <TavrexBus1/modbuslibusbclient.h>
#include <TavrexBus1/modbusloopbackclient.h>
#include <TavrexBus1/modbusloopbackserver.h>
#include <TavrexBus1/modbusserialtransport.h>
#include <TavrexBus1/modbustarget.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustcpserver.h>
#include <TavrexBus1/modbustftpclient.h>
#include <TavrexBus1/modbustftpserver.h>
#include <TavrexBus1/modbustransport.h>
#include <TavrexBus1/modbustransporter.h>

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

// A transport whose link fails while told to. Event records are split in the events suites.
class FakeTransport : public ModbusTransport
{
public:
    FakeTransport() : ModbusTransport(TavrexBus::ClientBus, nullptr) {}

    int failuresLeft = 0;
    int attempts = 0;
    ModbusTarget target;

    bool sendBytes(const ModbusBytes &, const Target *t, ModbusBytes *, QString *error) override
    {
        return checkCanSendBytes(t, error);
    }
    Target *clientTarget() override { return &target; }
    bool hasTarget(const Target *t) override { return t == &target; }
    int targetsCount() const override { return 1; }
    int bytesAvailable(const Target *) override { return 0; }
    ModbusParser *createParser(QObject *) override { return nullptr; }
    ModbusDeparser *createDeparser(QObject *) override { return nullptr; }
    QString toString(bool) const override { return QStringLiteral("fake"); }
    void dropLink() { autoDisconnect(); }

protected:
    bool connectTransportInternal() override
    {
        ++attempts;
        if (failuresLeft == 0)
            return true;
        --failuresLeft;
        setConnectError(QStringLiteral("link down"));
        return false;
    }
    bool disconnectTransportInternal() override { return true; }
};

const ModbusBytes request = ModbusBytes::fromModbusString(QStringLiteral("01 03 00 00 00 01 84 0A"));
const ModbusBytes answer = ModbusBytes::fromModbusString(QStringLiteral("01 03 02 00 2A 39 9B"));

// A loopback client linked to its server, both connected.
struct LoopbackLink
{
    LoopbackLink() : client(*server)
    {
        QVERIFY(server->connectTransport(false));
        QVERIFY(client.connectTransport(false));
    }
    std::unique_ptr<ModbusLoopbackServer> server = std::make_unique<ModbusLoopbackServer>();
    ModbusLoopbackClient client;
};

// Tells whether the device has bytes waiting for the client, without taking them.
class Probe
{
public:
    explicit Probe(const QString &path) : m_fd(::open(path.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK)) {}
    ~Probe() { ::close(m_fd); }
    bool readable() const
    {
        pollfd fd{m_fd, POLLIN, 0};
        return ::poll(&fd, 1, 0) == 1;
    }

private:
    int m_fd;
};

} // namespace

// A transport's link, loopback and C55 links, and the transporter that routes frames to its transports.
class tst_Transport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void openAndCloseReportRepeats()
    {
        FakeTransport transport;
        QSignalSpy changes(&transport, &Transport::connectedChanged);
        QSignalSpy errors(&transport, &ErrObject::error);
        QVERIFY(transport.connectTransport(false));
        QVERIFY(!transport.connectTransport(false));
        QVERIFY(transport.disconnectTransport());
        QVERIFY(!transport.disconnectTransport());
        QCOMPARE(changes.count(), 2);
        QCOMPARE(signalTexts(errors), (QStringList{"also connected", "also disconnected"}));
    }

    void disconnectCancelsPendingReconnection()
    {
        FakeTransport transport;
        transport.failuresLeft = 1000;
        transport.setAutoReconnectInterval(10);
        transport.setAutoReconnectInterval(-1);
        QCOMPARE(transport.autoReconnectInterval(), 10);
        QVERIFY(!transport.connectTransport(true));
        QTRY_VERIFY(transport.attempts >= 3);
        QVERIFY(transport.disconnectTransport());
        const int attempts = transport.attempts;
        transport.failuresLeft = 0;
        // A retry already in flight finds nothing pending and stops.
        QSignalSpy changes(&transport, &Transport::connectedChanged);
        QVERIFY(!changes.wait(100));
        QCOMPARE(transport.attempts, attempts);
        QVERIFY(!transport.connected());
    }

    void droppedLinkReconnectsOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("autoReconnect");
        QTest::addColumn<int>("drops");
        QTest::newRow("two drops, one attempt") << true << 2;
        QTest::newRow("no auto reconnect") << false << 1;
    }

    void droppedLinkReconnectsOnlyWhenAsked()
    {
        QFETCH(bool, autoReconnect);
        QFETCH(int, drops);
        FakeTransport transport;
        transport.setAutoReconnect(autoReconnect);
        QVERIFY(transport.connectTransport(false));
        QSignalSpy changes(&transport, &Transport::connectedChanged);
        for (int i = 0; i < drops; ++i)
            transport.dropLink();
        QVERIFY(!transport.connected());
        QCOMPARE(changes.wait(1000), autoReconnect);
        QCOMPARE(transport.connected(), autoReconnect);
        QVERIFY(!changes.wait(transport.autoReconnectInterval() * 2));
        QCOMPARE(transport.attempts, autoReconnect ? 2 : 1);
    }

    // A loopback client needs a connected server; the C55 facility is a character device.
    void connectFailureNamesTheCause_data()
    {
        QTest::addColumn<std::shared_ptr<ModbusTransport>>("link");
        QTest::addColumn<QString>("message");
        QTest::newRow("loopback, no server") << std::shared_ptr<ModbusTransport>(new ModbusLoopbackClient)
                                             << QStringLiteral("server loopback transport doesn't assigned");
        auto *closed = new ModbusLoopbackServer;
        QTest::newRow("loopback, server closed")
            << std::shared_ptr<ModbusTransport>(new ModbusLoopbackClient(*closed), [closed](ModbusTransport *link) {
                   delete link;
                   delete closed;
               })
            << QStringLiteral("server loopback transport disconnected");
        auto *c55 = new ModbusC55Client;
        c55->setDevicePath(QStringLiteral("/dev/tavrex-no-c55"));
        QTest::newRow("c55, no device node")
            << std::shared_ptr<ModbusTransport>(c55)
            << QStringLiteral("error opening c55 device /dev/tavrex-no-c55: No such file or directory");
    }

    void connectFailureNamesTheCause()
    {
        QFETCH(std::shared_ptr<ModbusTransport>, link);
        QFETCH(QString, message);
        QSignalSpy errors(link.get(), &ErrObject::error);
        QVERIFY(!link->connectTransport(false));
        QVERIFY(!link->connected());
        QCOMPARE(signalTexts(errors), QStringList{message});
    }

    // A destroyed server lets its client go as a disconnected one does.
    void destroyedServerReleasesClient()
    {
        LoopbackLink link;
        link.server.reset();
        QVERIFY(!link.client.connected());
        QCOMPARE(link.client.server(), nullptr);
        QString error;
        QVERIFY(!link.client.sendBytes(request, link.client.target(), nullptr, &error));
        QCOMPARE(error, QStringLiteral("can't send bytes via disconnected transport"));
    }

    void textAnswerIsTheFallback()
    {
        LoopbackLink link;
        QString seen;
        connect(link.server.get(), &Transport::read, this, [&](QString text, const Target *, QString &reply) {
            seen = text;
            reply = QStringLiteral("01 03 02 00 2a 39 9b");
        });
        ModbusBytes reply;
        QVERIFY(link.client.sendBytes(request, link.client.target(), &reply));
        QCOMPARE(reply, answer);
        QCOMPARE(seen, QStringLiteral("01 03 00 00 00 01 84 0a"));
    }

    void serverCannotSend()
    {
        ModbusLoopbackServer server;
        QVERIFY(server.connectTransport(false));
        QSignalSpy sent(&server, &Transport::bytesSent);
        QString error;
        QVERIFY(!server.sendBytes(answer, server.target(), nullptr, &error));
        QCOMPARE(error, QStringLiteral("you can't send bytes through ModbusLoopbackServer, only answer for requests"));
        QCOMPARE(sent.count(), 0);
    }
    void listKeepsEachModbusTransportOnce()
    {
        ModbusTransporter transporter;
        auto server = std::make_unique<ModbusLoopbackServer>();
        RecordedEventTransport plain;
        QSignalSpy changes(&transporter, &Transporter::transportsChanged);
        QSignalSpy errors(&transporter, &ErrObject::error);
        transporter.addTransport(*server);
        transporter.addTransport(*server, true);
        transporter.addTransport(plain);
        QCOMPARE(transporter.transports(), QList<EventedTransport *>{server.get()});
        QCOMPARE(changes.count(), 1);
        QCOMPARE(server->parent(), nullptr);
        QCOMPARE(signalTexts(errors), QStringList{QStringLiteral("you can add only ModbusTransport")});
        server.reset();
        QVERIFY(transporter.transports().isEmpty());
        QCOMPARE(changes.count(), 2);
    }

    void removingDeletesOnlyOwnedTransports_data()
    {
        QTest::addColumn<bool>("asChild");
        QTest::newRow("child") << true;
        QTest::newRow("not a child") << false;
    }

    void removingDeletesOnlyOwnedTransports()
    {
        QFETCH(bool, asChild);
        ModbusTransporter transporter;
        auto *server = new ModbusLoopbackServer;
        QPointer<ModbusLoopbackServer> guard(server);
        QVERIFY(server->connectTransport(false));
        transporter.addTransport(*server, asChild);
        QSignalSpy removing(&transporter, &Transporter::transportRemoving);

        transporter.removeTransport(*server);
        QCOMPARE(removing.count(), 1);
        QVERIFY(transporter.transports().isEmpty());
        if (asChild) {
            QVERIFY(!server->connected());
            QTRY_VERIFY(guard.isNull());
        } else {
            QVERIFY(server->connected());
            delete server;
        }
    }

    void onlyAClientTransportServesAsClient()
    {
        ModbusTransporter transporter;
        ModbusLoopbackServer server;
        ModbusLoopbackClient first;
        ModbusLoopbackClient second;
        transporter.addTransport(server);
        transporter.setClientTransport(&first);
        transporter.setClientTransport(&second);
        QCOMPARE(transporter.clientTransport(), &second);
        QCOMPARE(transporter.transports(), (QList<EventedTransport *>{&server, &second}));
        transporter.setClientTransport(nullptr);
        QCOMPARE(transporter.clientTransport(), nullptr);
        QCOMPARE(transporter.transports(), QList<EventedTransport *>{&server});

        QSignalSpy errors(&transporter, &ErrObject::error);
        ModbusLoopbackServer otherServer;
        transporter.setClientTransport(&otherServer);
        QCOMPARE(transporter.transports(), QList<EventedTransport *>{&server});
        QCOMPARE(errors.first().first().toString(),
                 QStringLiteral("you can set only modbus transport of ModbusClient type"));
    }

    void framesRouteToTheirTransport()
    {
        LoopbackLink link;
        ModbusLoopbackServer &server = *link.server;
        ModbusLoopbackClient &client = link.client;
        connect(&server, &Transport::requestBytesReceived, this,
                [](ModbusBytes bytes, const Target *, ModbusBytes *answer) { *answer = bytes + ModbusBytes(char(9)); });

        ModbusTransporter transporter;
        transporter.addTransport(server);
        transporter.setClientTransport(&client);
        QCOMPARE(transporter.getTransportByTarget(client.target()), &client);
        QCOMPARE(transporter.getTransportByTarget(server.target()), &server);
        QSignalSpy sent(&transporter, &Transporter::bytesSent);
        QSignalSpy received(&transporter, &Transporter::bytesReceived);

        ModbusBytes answer;
        QVERIFY(transporter.sendBytes(ModbusBytes(char(1)), client.target(), &answer));
        QCOMPARE(answer, ModbusBytes(QByteArray::fromHex("0109")));
        // The request is announced by the transporter; the server's answer reaches it as a request
        // (its own requestBytesReceived) and the answer as the client's received bytes.
        QCOMPARE(sent.count(), 2);
        QCOMPARE(received.count(), 2);

        ModbusTarget stranger;
        QSignalSpy errors(&transporter, &ErrObject::error);
        QVERIFY(!transporter.sendBytes(ModbusBytes(char(1)), &stranger, nullptr));
        QVERIFY(!transporter.sendEventBytes(ModbusBytes(char(1)), &stranger));
        QCOMPARE(signalTexts(errors), QStringList(2, QStringLiteral("transport not found")));
        QCOMPARE(sent.count(), 2);
    }

    void connectTransportsReportsAnyFailure()
    {
        ModbusLoopbackServer server;
        ModbusLoopbackClient orphan;
        orphan.setAutoReconnect(false);
        ModbusTransporter transporter;
        transporter.addTransport(server);
        transporter.addTransport(orphan);
        QVERIFY(!transporter.connectTransports());
        QVERIFY(server.connected());
        QVERIFY(!orphan.connected());
        QVERIFY(orphan.disconnectTransport());
        QVERIFY(transporter.disconnectTransports());
        QVERIFY(!server.connected());
    }

    // Field engineers paste these lines into reports: every link's text keeps its exact form.
    void diagnosticsTextKeepsItsForm_data()
    {
        QTest::addColumn<std::shared_ptr<ModbusTransport>>("link");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, ModbusTransport *link, const QString &text) {
            QTest::newRow(name) << std::shared_ptr<ModbusTransport>(link) << text;
        };
        const QString ipTarget = QStringLiteral("target: address: 127.0.0.1; port: 1502; ");
        const QString clientTimeouts
            = QStringLiteral("timeouts:  (connect: 1000; disconnect: 1000; read answer: 1000; write: 1000); ");
        row("tcp client", new ModbusTcpClient(QHostAddress::LocalHost, 1502),
            QStringLiteral("transport: Modbus TCP client (modbus client); status: disconnected; ") + ipTarget
                + QStringLiteral("transaction ID: 0; ; ") + clientTimeouts);
        auto *server = new ModbusTcpServer(1502);
        server->setDisconnectTimeout(300);
        row("tcp server", server,
            QStringLiteral("transport: Modbus TCP server (modbus server); status: disconnected; address: 0.0.0.0; "
                           "port: 1502; timeouts:  (disconnect: 300; read answer: 1000; write: 1000); targets [0]:; "));
        auto *tftp = new ModbusTFtpClient;
        tftp->setAddress(QHostAddress::LocalHost);
        tftp->setPort(1502);
        row("tftp client", tftp,
            QStringLiteral("transport: Modbus TFtp client (modbus client); status: disconnected; ") + ipTarget
                + QStringLiteral("; ") + clientTimeouts);
        row("tftp server", new ModbusTFtpServer(1502),
            QStringLiteral("transport: Modbus TFtp server (modbus server); status: disconnected; address: 0.0.0.0; "
                           "port: 1502; timeouts:  (disconnect: 1000; read answer: 1000; write: 1000); "));
        auto *serial = new ModbusSerialTransport(TavrexBus::ServerBus);
        serial->setPort(QStringLiteral("ttyS7"));
        row("serial server", serial,
            QStringLiteral("transport: Modbus Serial Server (modbus server); status: disconnected; port: ttyS7; "
                           "rate: 19200; parity: None; data bits: 8; stop bits: 1; flow control: None; DTR: 0; "
                           "RTS: 0; target: ; timeouts:  (read: 500; write: 500); "));
        row("usb client", new ModbusLibusbClient,
            QStringLiteral("transport: Modbus Libusb client (modbus client); status: disconnected; target: ; "
                           "timeouts:  (read answer: 3000; write: 3000); "));
        row("c55", new ModbusC55Client,
            QStringLiteral("transport: Modbus C55 transport (modbus client); status: disconnected; target: ; "
                           "timeouts:  (read: 3000; write: 3000); "));
    }

    void diagnosticsTextKeepsItsForm()
    {
        QFETCH(std::shared_ptr<ModbusTransport>, link);
        QFETCH(QString, text);
        QCOMPARE(link->toString(true), text);
    }

    // Bytes the device offers between exchanges are events: an exchange keeps them for the next
    // event poll instead of taking them for its answer.
    void c55ExchangeAnswersAndKeepsEvents()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        ModbusC55Client client;
        client.setDevicePath(pty.portName());
        client.setReadTimeout(2000);
        client.setEventsCheckInterval(3600000); // the test polls by itself
        QVERIFY2(client.connectTransport(false), qPrintable(client.errorString()));
        const Probe probe(pty.portName());
        QSignalSpy records(&client, &EventedTransport::eventBytesReceived);
        pty.write(QByteArray::fromHex("02ee"));
        QTRY_VERIFY(probe.readable());
        QVERIFY(!client.checkEventsSync()); // the first read after a connect is dropped
        QVERIFY(!probe.readable());

        pty.write(QByteArray::fromHex("03a1a2"));
        QTRY_VERIFY(probe.readable());
        std::thread device([&pty] {
            if (pty.readExactly(3, 2000) == QByteArray::fromHex("010203"))
                pty.write(QByteArray::fromHex("0a0b"));
        });
        ModbusBytes answer;
        const bool ok = client.sendBytes(QByteArray::fromHex("010203"), client.target(), &answer);
        device.join();
        QVERIFY2(ok, qPrintable(client.errorString()));
        QCOMPARE(answer, QByteArray::fromHex("0a0b"));
        QVERIFY(client.checkEventsSync());
        QCOMPARE(records.count(), 1);
        QCOMPARE(records.at(0).at(0).value<ModbusBytes>(), QByteArray::fromHex("a1a2"));

        // A silent device fails the exchange and keeps the link.
        client.setReadTimeout(50);
        QString error;
        QVERIFY(!client.sendBytes(QByteArray::fromHex("0102"), client.target(), &answer, &error));
        QCOMPARE(error, QStringLiteral("received 0 bytes answer"));
        QVERIFY(client.connected());
    }

    // While another user holds the device, a request from another thread waits and then goes through.
    void c55LockedTransportHoldsRequestsBack()
    {
        PtyPair pty;
        ModbusC55Client client;
        client.setDevicePath(pty.portName());
        client.setReadTimeout(2000);
        QVERIFY(client.connectTransport(false));
        client.lockTransport();
        bool heldForOthers = false;
        std::thread([&] {
            heldForOthers = !client.mutex()->try_lock();
            if (!heldForOthers)
                client.mutex()->unlock();
        }).join();
        QVERIFY(heldForOthers);
        QVERIFY(client.connected());
        bool ok = false;
        std::thread requester([&] {
            ModbusBytes answer;
            ok = client.sendBytes(QByteArray::fromHex("0102"), client.target(), &answer);
        });
        client.unlockTransport();
        QCOMPARE(pty.readExactly(2, 2000), QByteArray::fromHex("0102"));
        pty.write(QByteArray::fromHex("05"));
        requester.join();
        QVERIFY(ok);
    }
};

QTEST_MAIN(tst_Transport)
#include "tst_transport.moc"
