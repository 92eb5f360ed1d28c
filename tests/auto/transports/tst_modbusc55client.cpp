#include "ptypair.h"
#include "signaltexts.h"

#include <TavrexBus1/modbusc55client.h>

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

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

// The C55 facility is a character device; a pseudo-terminal plays it here.
class tst_ModbusC55Client : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void missingDeviceNodeRefusesToConnect()
    {
        ModbusC55Client client;
        client.setDevicePath(QStringLiteral("/dev/tavrex-no-c55"));
        QSignalSpy errors(&client, &ErrObject::error);
        QVERIFY(!client.connectTransport(false));
        QCOMPARE(signalTexts(errors),
                 QStringList{QStringLiteral("error opening c55 device /dev/tavrex-no-c55: No such file or directory")});
        QString error;
        QVERIFY(!client.sendBytes(QByteArray("\x01"), client.target(), nullptr, &error));
        QCOMPARE(error, QStringLiteral("can't send bytes via disconnected transport"));
    }

    // Bytes the device offers between exchanges are events: an exchange keeps them for the next
    // event poll instead of taking them for its answer.
    void exchangeAnswersAndKeepsEvents()
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
    void lockedTransportHoldsRequestsBack()
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

QTEST_MAIN(tst_ModbusC55Client)
#include "tst_modbusc55client.moc"
