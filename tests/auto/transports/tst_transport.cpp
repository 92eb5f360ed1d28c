#include "ptypair.h"
#include "recordedeventtransport.h"
#include "rtuframe.h"
#include "signaltexts.h"

#include <TavrexBus1/modbusc55client.h>
#include <TavrexBus1/modbuslibusbclient.h>
#include <TavrexBus1/modbusloopbackclient.h>
#include <TavrexBus1/modbusloopbackserver.h>
#include <TavrexBus1/modbusserialclient.h>
#include <TavrexBus1/modbusserialserver.h>
#include <TavrexBus1/modbusserialtransport.h>
#include <TavrexBus1/modbustarget.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustcpserver.h>
#include <TavrexBus1/modbustftpclient.h>
#include <TavrexBus1/modbustftpserver.h>
#include <TavrexBus1/modbustransport.h>
#include <TavrexBus1/modbustransporter.h>

#include <QtCore/QTimer>
#include <QtNetwork/QUdpSocket>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

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

const ModbusBytes request = rtuFrame("01 03 00 00 00 01");
const ModbusBytes answer = rtuFrame("01 03 02 00 2A");
const ModbusBytes second = rtuFrame("01 03 02 00 2B");

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

// A device on the master side of the pseudo-terminal, run beside the test.
class Device
{
public:
    template <typename F>
    explicit Device(F behaviour) : m_thread(behaviour) {}
    // Answers the expected request after delayMs with reply (an empty one is silence), written in
    // bursts cut at cuts.
    Device(PtyPair &pty, const QByteArray &reply, const QList<int> &cuts = {}, int delayMs = 0)
        : m_thread([&pty, reply, cuts, delayMs] {
              if (pty.readExactly(request.size(), 5000) != request)
                  return;
              std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
              int from = 0;
              for (int cut : cuts + QList<int>{int(reply.size())}) {
                  pty.write(reply.mid(from, cut - from));
                  from = cut;
                  std::this_thread::sleep_for(5ms);
              }
          })
    {
    }
    ~Device() { m_thread.join(); }

private:
    std::thread m_thread;
};

void open(ModbusSerialClient &client, const PtyPair &pty, int readTimeout = 1000, int byteTimeout = 500)
{
    QVERIFY(pty.isValid());
    client.setPort(pty.portName());
    client.setReadTimeout(readTimeout);
    client.setByteTimeout(byteTimeout);
    QVERIFY2(client.connectTransport(false), qPrintable(client.errorString()));
}

bool exchange(ModbusSerialClient &client, ModbusBytes *reply, QString *error = nullptr)
{
    return client.sendBytes(request, client.target(), reply, error);
}

} // namespace

// A transport's link; the loopback, serial and C55 links, the serial ones on a pseudo-terminal whose
// master side plays the other end; and the transporter that routes frames to its transports.
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

    // Without auto reconnection a dropped link stays down; with it, two drops make one attempt.
    void droppedLinkReconnectsOnlyWhenAsked()
    {
        FakeTransport transport;
        transport.setAutoReconnect(false);
        QVERIFY(transport.connectTransport(false));
        QSignalSpy changes(&transport, &Transport::connectedChanged);
        transport.dropLink();
        QVERIFY(!changes.wait(transport.autoReconnectInterval() * 2));
        QVERIFY(!transport.connected());
        transport.setAutoReconnect(true);
        QVERIFY(transport.connectTransport(false));
        transport.dropLink();
        transport.dropLink();
        QVERIFY(!transport.connected());
        QVERIFY(changes.wait(1000));
        QVERIFY(transport.connected());
        QVERIFY(!changes.wait(transport.autoReconnectInterval() * 2));
        QCOMPARE(transport.attempts, 3);
    }

    // A loopback client needs a connected server, a TFTP server a free port; serial ports and the C55
    // facility are device nodes.
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
        auto *serial = new ModbusSerialClient;
        serial->setPort(QStringLiteral("/dev/tavrex-no-such-port"));
        QTest::newRow("serial, no such port")
            << std::shared_ptr<ModbusTransport>(serial)
            << QStringLiteral("error opening serial port /dev/tavrex-no-such-port: No such file or directory");
        auto *taken = new QUdpSocket;
        taken->bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress);
        auto *tftp = new ModbusTFtpServer(taken->localPort());
        tftp->setAddress(QHostAddress::LocalHost);
        QTest::newRow("tftp server, port taken")
            << std::shared_ptr<ModbusTransport>(tftp, [taken](ModbusTransport *link) {
                   delete link;
                   delete taken;
               })
            << QStringLiteral("error binding udp socket %1: The bound address is already in use")
                   .arg(taken->localPort());
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

    // A loopback server only answers: from bytes or, failing that, from text.
    void serverOnlyAnswersWithTextAsTheFallback()
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
        QSignalSpy sent(link.server.get(), &Transport::bytesSent);
        QString error;
        QVERIFY(!link.server->sendBytes(answer, link.server->target(), nullptr, &error));
        QCOMPARE(error, QStringLiteral("you can't send bytes through ModbusLoopbackServer, only answer for requests"));
        QCOMPARE(sent.count(), 0);
    }

    // Each ModbusTransport is listed once and leaves when destroyed; removal deletes only owned ones.
    void transporterListsEachTransportOnceAndDeletesOnlyItsOwn()
    {
        ModbusTransporter transporter;
        auto server = std::make_unique<ModbusLoopbackServer>();
        ModbusLoopbackServer kept;
        auto *owned = new ModbusLoopbackServer;
        QPointer<ModbusLoopbackServer> guard(owned);
        RecordedEventTransport plain;
        QVERIFY(kept.connectTransport(false));
        QVERIFY(owned->connectTransport(false));
        QSignalSpy changes(&transporter, &Transporter::transportsChanged);
        QSignalSpy errors(&transporter, &ErrObject::error);
        transporter.addTransport(*server);
        transporter.addTransport(*server, true);
        transporter.addTransport(plain);
        transporter.addTransport(kept, false);
        transporter.addTransport(*owned, true);
        QCOMPARE(transporter.transports(), (QList<EventedTransport *>{server.get(), &kept, owned}));
        QCOMPARE(changes.count(), 3);
        QCOMPARE(server->parent(), nullptr);
        QCOMPARE(signalTexts(errors), QStringList{QStringLiteral("you can add only ModbusTransport")});
        server.reset();
        QCOMPARE(transporter.transports(), (QList<EventedTransport *>{&kept, owned}));
        QCOMPARE(changes.count(), 4);
        QSignalSpy removing(&transporter, &Transporter::transportRemoving);
        transporter.removeTransport(kept);
        transporter.removeTransport(*owned);
        QCOMPARE(removing.count(), 2);
        QVERIFY(transporter.transports().isEmpty());
        QVERIFY(kept.connected());
        QVERIFY(!owned->connected());
        QTRY_VERIFY(guard.isNull());
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

    // Exchanges run on the client's executor thread; listeners hear of them on the transporter's.
    void trafficIsAnnouncedOnTheTransportersThread()
    {
        LoopbackLink link;
        connect(link.server.get(), &Transport::requestBytesReceived, this,
                [](ModbusBytes bytes, const Target *, ModbusBytes *answer) { *answer = bytes; });
        ModbusTransporter transporter;
        transporter.setClientTransport(&link.client);
        QList<QThread *> announcedOn;
        for (auto signal : {&Transporter::bytesSent, &Transporter::bytesReceived}) {
            connect(&transporter, signal, this, [&announcedOn] { announcedOn << QThread::currentThread(); },
                    Qt::DirectConnection);
        }
        std::atomic<bool> answered{false};
        std::unique_ptr<QThread> exchange(QThread::create([&] {
            ModbusBytes answer;
            answered = transporter.sendBytes(ModbusBytes(char(1)), link.client.target(), &answer);
        }));
        exchange->start();
        QTRY_COMPARE(announcedOn.size(), 2);
        QVERIFY(exchange->wait(5000));
        QVERIFY(answered);
        QCOMPARE(announcedOn, QList<QThread *>(2, QThread::currentThread()));
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

    // An answer is taken whole however it arrives; whatever the first exchange got, bytes that
    // arrive after it, even while the next request is on its way, never answer the next request.
    void answerIsAssembledAndLateBytesAreDropped_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QList<int>>("cuts");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("readTimeout");
        QTest::addColumn<int>("byteTimeout");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("late");
        QTest::addColumn<bool>("answersNext");
        const QByteArray whole(answer);
        QTest::newRow("answer byte by byte") << whole << QList<int>{1, 2, 3, 4, 5, 6} << 0 << 1000 << 500 << ""
                                             << QByteArray() << true;
        QTest::newRow("zero bytes") << QByteArray(3, '\0') << QList<int>{} << 0 << 100 << 20 << "read timeout"
                                    << QByteArray() << true;
        QTest::newRow("byte gap ends the answer")
            << whole.left(3) << QList<int>{} << 0 << 1000 << 30 << "" << whole.mid(3) << true;
        QTest::newRow("late answer, next answered")
            << whole << QList<int>{} << 600 << 400 << 20 << "read timeout" << QByteArray() << true;
        QTest::newRow("late answer, next unanswered")
            << whole << QList<int>{} << 600 << 400 << 20 << "read timeout" << QByteArray() << false;
    }

    void answerIsAssembledAndLateBytesAreDropped()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QList<int>, cuts);
        QFETCH(int, delay);
        QFETCH(int, readTimeout);
        QFETCH(int, byteTimeout);
        QFETCH(QString, error);
        QFETCH(QByteArray, late);
        QFETCH(bool, answersNext);
        PtyPair pty;
        ModbusSerialClient client;
        open(client, pty, readTimeout, byteTimeout);
        QSignalSpy received(&client, &Transport::bytesReceived);

        ModbusBytes got;
        QString firstError;
        const bool ok = [&] {
            Device device(pty, reply, cuts, delay);
            return exchange(client, &got, &firstError);
        }();
        QCOMPARE(ok, error.isEmpty());
        QCOMPARE(firstError, error);
        QCOMPARE(received.count(), ok ? 1 : 0);
        if (ok) {
            QCOMPARE(got, ModbusBytes(reply));
            QCOMPARE(received.first().first().value<ModbusBytes>(), ModbusBytes(reply));
        }
        if (!late.isEmpty()) {
            pty.write(late);
            QTRY_VERIFY(client.bytesAvailable(client.target()) > 0);
        }
        Device device(pty, answersNext ? QByteArray(second) : QByteArray());
        QString nextError;
        QCOMPARE(exchange(client, &got, &nextError), answersNext);
        QCOMPARE(nextError, answersNext ? QString() : QStringLiteral("read timeout"));
        if (answersNext)
            QCOMPARE(got, second);
    }

    // A port another link holds opens only once that link lets go of it.
    void busyPortOpensOnceFreed()
    {
        PtyPair pty;
        ModbusSerialClient holder;
        open(holder, pty);
        ModbusSerialClient client;
        client.setPort(pty.portName());
        QSignalSpy errors(&client, &ErrObject::error);
        QVERIFY(!client.connectTransport(false));
        QCOMPARE(errors.count(), 1);
        const QString message = errors.first().first().toString();
        const QString prefix = QStringLiteral("error opening serial port %1: ").arg(pty.portName());
        QVERIFY2(message.startsWith(prefix) && message.size() > prefix.size(), qPrintable(message));
        holder.disconnectTransport();
        QVERIFY2(client.connectTransport(false), qPrintable(client.errorString()));
    }

    void vanishingPortFailsExchangeAndRecovers()
    {
        auto pty = std::make_unique<PtyPair>();
        ModbusSerialClient client;
        open(client, *pty);
        const QString lostPort = pty->portName();
        ModbusBytes reply;
        QString error;
        {
            Device device([&] {
                pty->readExactly(request.size(), 5000);
                pty->closeMaster();
            });
            QVERIFY(!exchange(client, &reply, &error));
        }
        QVERIFY2(error.startsWith(QStringLiteral("serial port %1 lost: ").arg(lostPort)), qPrintable(error));
        QTRY_VERIFY(!client.connected());

        // The link keeps trying; once it is pointed at a device that exists it comes back.
        PtyPair replacement;
        client.setPort(replacement.portName());
        QTRY_VERIFY(client.connected());
        Device device(replacement, answer);
        QVERIFY2(exchange(client, &reply, &error), qPrintable(error));
        QCOMPARE(reply, answer);
    }

    void callsFromAnotherThreadAreRefused_data()
    {
        using Call = std::function<bool(ModbusSerialClient &)>;
        QTest::addColumn<Call>("call");
        QTest::newRow("connectTransport") << Call([](ModbusSerialClient &c) { return c.connectTransport(false); });
        QTest::newRow("disconnectTransport") << Call([](ModbusSerialClient &c) { return c.disconnectTransport(); });
        QTest::newRow("setBaudRate") << Call([](ModbusSerialClient &c) { c.setBaudRate(9600); return false; });
        QTest::newRow("setPort") << Call([](ModbusSerialClient &c) { c.setPort("/dev/null"); return false; });
    }

    void callsFromAnotherThreadAreRefused()
    {
        QFETCH(std::function<bool(ModbusSerialClient &)>, call);
        PtyPair pty;
        ModbusSerialClient client;
        client.setPort(pty.portName());
        QSignalSpy errors(&client, &ErrObject::error);
        bool result = false;
        std::thread([&] { result = call(client); }).join();
        QVERIFY(!result);
        QVERIFY(errors.wait());
        QCOMPARE(errors.first().first().toString(), QStringLiteral("this method can be run only in owned thread"));
        QVERIFY(!client.connected());
        QCOMPARE(client.baudRate(), 19200);
        QCOMPARE(client.port(), pty.portName());
    }

    void concurrentExchangesAreSerialised()
    {
        PtyPair pty;
        ModbusSerialClient client;
        // The device answers in one write, so a short gap ends each answer and keeps the test quick.
        open(client, pty, 1000, 20);
        client.setSendDelay(0);
        constexpr int perThread = 25;
        // A request garbled by another one leaves this and all later exchanges unanswered.
        Device device([&] {
            for (int i = 0; i < 2 * perThread; ++i) {
                const ModbusBytes incoming(pty.readExactly(8, 5000));
                if (incoming.size() != 8 || !incoming.checkCrc16())
                    return;
                // The answer carries the asking unit, so each sender can check it got its own.
                ModbusBytes reply(answer.left(5));
                reply[0] = incoming[0];
                reply.appendUInt16(qChecksumModbus(reply, 0, 0));
                pty.write(reply);
            }
        });
        std::atomic<int> mismatches{0};
        const auto sender = [&](char unit) {
            ModbusBytes ask = request.left(6);
            ask[0] = unit;
            ask.appendUInt16(qChecksumModbus(ask, 0, 0));
            for (int i = 0; i < perThread; ++i) {
                ModbusBytes reply;
                if (!client.sendBytes(ask, client.target(), &reply, nullptr) || reply.at(0) != unit)
                    ++mismatches;
            }
        };
        std::thread first(sender, char(1));
        std::thread other(sender, char(2));
        first.join();
        other.join();
        QCOMPARE(mismatches.load(), 0);
    }

    void exchangesKeepSendDelay()
    {
        PtyPair pty;
        ModbusSerialClient client;
        open(client, pty, 1000, 5);
        client.setSendDelay(80);
        qint64 gap = -1;
        {
            Device device([&] {
                QElapsedTimer sinceAnswer;
                for (int i = 0; i < 2; ++i) {
                    if (pty.readExactly(request.size(), 5000) != request)
                        return;
                    if (sinceAnswer.isValid())
                        gap = sinceAnswer.elapsed();
                    pty.write(answer);
                    sinceAnswer.start();
                }
            });
            ModbusBytes reply;
            QVERIFY(exchange(client, &reply));
            QVERIFY(exchange(client, &reply));
        }
        QVERIFY2(gap >= 80, qPrintable(QString::number(gap)));
    }

    // Delays follow the line speed until set; rates and delays that make no sense are refused.
    void delaysFollowLineSpeedUntilSet()
    {
        ModbusSerialClient client;
        client.setBaudRate(1200);
        QCOMPARE(client.byteTimeout(), 240);
        QCOMPARE(client.rtsDelay(), 10);
        client.setBaudRate(115200);
        QCOMPARE(client.byteTimeout(), 2);
        QCOMPARE(client.rtsDelay(), 2);
        client.setBaudRate(0);
        client.setBaudRate(-9600);
        QCOMPARE(client.baudRate(), 115200);

        client.setByteTimeout(50);
        client.setRtsDelay(0);
        client.setBaudRate(1200);
        QCOMPARE(client.byteTimeout(), 50);
        QCOMPARE(client.rtsDelay(), 1);
        QCOMPARE(client.computedByteTimeout(), 240);
        client.setByteTimeout(0);
        QCOMPARE(client.byteTimeout(), 1);

        // The guard after a read timeout follows readTimeout until set, and again after a reset.
        QSignalSpy guard(&client, &ModbusSerialTransport::guardTimeChanged);
        client.setGuardTime(0);
        client.setReadTimeout(200);
        QCOMPARE(client.guardTime(), 0);
        client.resetGuardTime();
        client.setReadTimeout(300);
        QCOMPARE(client.guardTime(), 300);
        QCOMPARE(guard.count(), 3);
    }

    // Settings changed while the port is open reach the line at once.
    void lineSettingsReachAnOpenPort()
    {
        PtyPair pty;
        ModbusSerialClient client;
        open(client, pty);
        client.setBaudRate(19200);
        client.setParity(ModbusSerialTransport::OddParity);
        client.setDataBits(ModbusSerialTransport::Data7);
        client.setStopBits(ModbusSerialTransport::TwoStop);
        client.setFlowControl(ModbusSerialTransport::HardwareControl);
        termios line{};
        QCOMPARE(tcgetattr(pty.masterFd(), &line), 0);
        QCOMPARE(cfgetospeed(&line), speed_t(B19200));
        QCOMPARE(line.c_cflag & (CSTOPB | PARODD | CRTSCTS), tcflag_t(CSTOPB | PARODD | CRTSCTS));
        // A pseudo-terminal keeps eight bits without parity: what the line refused is told.
        QCOMPARE(client.errorString(), "can't set 'dataBits' property to: 7\ncan't set 'parity' property to: 3\n");
    }

    // A port without modem lines still opens, and sends without direction control; it takes only
    // its own target.
    void portWithoutModemLinesServesItsOwnTarget()
    {
        PtyPair pty;
        ModbusSerialClient client;
        client.setPort(pty.portName());
        client.setDtr(true);
        QSignalSpy errors(&client, &ErrObject::error);
        QVERIFY2(client.connectTransport(false), qPrintable(client.errorString()));
        QVERIFY(client.controlRts());
        Device device(pty, answer);
        ModbusBytes reply;
        QVERIFY2(exchange(client, &reply), qPrintable(client.errorString()));
        QCOMPARE(reply, answer);
        ModbusTarget stranger;
        QString error;
        QVERIFY(!client.sendBytes(request, &stranger, nullptr, &error));
        QCOMPARE(error, QStringLiteral("incorrect target to send bytes"));
        QCOMPARE(client.bytesAvailable(&stranger), 0);
        QCOMPARE(signalTexts(errors),
                 (QStringList{"can't set 'dtr' property to: 1\n", "unknown target, bytes available will be 0"}));
    }

    // Each request is taken whole however it is split, and answered once; an empty answer leaves it
    // unanswered, so the first bytes the device then sees are those of the next answer.
    void requestOnLineIsAnswered_data()
    {
        QTest::addColumn<QList<ModbusBytes>>("requests");
        QTest::addColumn<QList<ModbusBytes>>("answers");
        QTest::addColumn<int>("cut");
        QTest::addColumn<QByteArray>("noise");  // on the line, and silence, before the first request
        const ModbusBytes write = rtuFrame("11 10 00 01 00 02 04 00 0A 01 02");
        QTest::newRow("read registers, split, twice") << QList<ModbusBytes>{request, request}
                                                      << QList<ModbusBytes>{answer, answer} << 3 << QByteArray();
        QTest::newRow("write registers, split, twice") << QList<ModbusBytes>{write, write}
                                                       << QList<ModbusBytes>{answer, answer} << 7 << QByteArray();
        QTest::newRow("first one unanswered") << QList<ModbusBytes>{request, rtuFrame("02 03 00 00 00 01")}
                                              << QList<ModbusBytes>{ModbusBytes(), rtuFrame("02 03 02 00 01")} << 3
                                              << QByteArray();
        // A function the parser cannot size is whole once the line falls silent.
        QTest::newRow("unsupported function") << QList<ModbusBytes>{rtuFrame("11 2B 0E 01 00")}
                                              << QList<ModbusBytes>{rtuFrame("11 AB 01")} << 3 << QByteArray();
        QTest::newRow("after noise and silence") << QList<ModbusBytes>{request} << QList<ModbusBytes>{answer} << 3
                                                 << QByteArray::fromHex("FF01");
    }

    void requestOnLineIsAnswered()
    {
        QFETCH(QList<ModbusBytes>, requests);
        QFETCH(QList<ModbusBytes>, answers);
        QFETCH(int, cut);
        QFETCH(QByteArray, noise);
        PtyPair pty;
        QVERIFY(pty.isValid());
        ModbusSerialServer server(pty.portName());
        // Generous, so that a loaded machine cannot stretch a split request into a frame gap, and so
        // that a server still listening after its answer would swallow the next request.
        server.setByteTimeout(1000);
        server.setReadTimeout(60000);
        QVERIFY2(server.connectTransport(false), qPrintable(server.errorString()));
        QList<ModbusBytes> taken;
        connect(&server, &Transport::requestBytesReceived, this,
                [&](ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes) {
                    QCOMPARE(target, server.target());
                    taken.append(bytes);
                    *answerBytes = answers.value(taken.size() - 1);
                });
        QSignalSpy received(&server, &Transport::bytesReceived);
        // Running while the server holds a part of a frame; it fires when the line falls silent.
        const auto *frameEnd = server.findChild<QTimer *>();
        if (!noise.isEmpty()) {
            QVERIFY(pty.write(noise));
            QTRY_VERIFY(frameEnd->isActive());
            QTRY_VERIFY(!frameEnd->isActive());
        }
        for (int i = 0; i < requests.size(); ++i) {
            QVERIFY(pty.write(requests.at(i).left(cut)));
            QTRY_VERIFY(frameEnd->isActive());
            QVERIFY(pty.write(requests.at(i).mid(cut)));
            QTRY_COMPARE(taken.count(), i + 1);
            QCOMPARE(taken.last(), requests.at(i));
            QCOMPARE(received.count(), i + 1);
            if (!answers.at(i).isEmpty())
                QCOMPARE(pty.readExactly(answers.at(i).size(), 5000), QByteArray(answers.at(i)));
        }
    }
};

QTEST_MAIN(tst_Transport)
#include "tst_transport.moc"
