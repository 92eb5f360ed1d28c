#include "signaltexts.h"
#include "simulateddevice.h"
#include "usbmeterbus.h"

#include <TavrexBus1/eventer.h>
#include <TavrexBus1/keypadekdigital.h>
#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbuslibusbclient.h>
#include <TavrexBus1/modbustransporter.h>
#include <TavrexBus1/modbusuint16.h>

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <atomic>
#include <thread>

namespace {

using Profile = UsbMeterBus::Profile;

Profile device(const QString &serial, quint16 pid = 0x2C05)
{
    return Profile{0x6A3D, pid, serial};
}

// A Modbuser over a USB link of its own, as an application would set one up.
struct UsbLink
{
    UsbLink()
    {
        client = modbuser.addModbusLibusbClient();
        client->setReadTimeout(300);
        client->setWriteTimeout(300);
        client->setAutoReconnectInterval(20);
        modbuser.setClientTransport(client);
    }
    bool open() { return client->connectTransport(false); }
    bool readRegister(quint32 address, quint16 &value)
    {
        return modbuser.readRegister(address, value, client->target());
    }

    Modbuser modbuser;
    ModbusLibusbClient *client = nullptr;
};

} // namespace

class tst_ModbusLibusbClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!UsbMeterBus::available())
            QSKIP("needs umockdev's preload library: run under umockdev-wrapper (ctest does)");
    }

    void init()
    {
        m_bus = new UsbMeterBus(this);
        for (quint32 i = 0; i < 16; ++i)
            m_bus->meter().setRegister(400001 + i, int(1000 + i));
    }

    void cleanup()
    {
        delete m_bus;
    }

    // Vendor, product and serial number pick the device; an empty serial number takes any, and
    // a lenient client falls back to any device with the identifiers and learns its serial number.
    void connectPicksTheDevice_data()
    {
        QTest::addColumn<QList<Profile>>("devices");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<bool>("strict");
        QTest::addColumn<QStringList>("answering"); // serial numbers that may answer; none: not found

        const QList<Profile> two{device("SN0001"), device("SN0002")};
        const QStringList both{"SN0001", "SN0002"};
        Profile unconfigurable = device("SN0003");
        unconfigurable.configurations = 0;
        Profile mute = device("SN0004");
        mute.stringsReadable = false;

        QTest::newRow("no device") << QList<Profile>{} << QString() << true << QStringList();
        QTest::newRow("any serial") << two << QString() << true << both;
        QTest::newRow("named serial") << two << "SN0002" << true << QStringList{"SN0002"};
        QTest::newRow("unknown serial, strict") << two << "SN9" << true << QStringList();
        QTest::newRow("unknown serial, lenient") << two << "SN9" << false << both;
        QTest::newRow("other product") << QList<Profile>{device("SN0001", 0x2C06)} << QString() << true << QStringList();
        QTest::newRow("no configuration") << QList<Profile>{unconfigurable} << QString() << true << QStringList();
        QTest::newRow("unreadable serial, any") << QList<Profile>{mute} << QString() << true << QStringList{"SN0004"};
        QTest::newRow("unreadable serial, named") << QList<Profile>{mute} << "SN0004" << true << QStringList();
    }

    void connectPicksTheDevice()
    {
        QFETCH(QList<Profile>, devices);
        QFETCH(QString, serial);
        QFETCH(bool, strict);
        QFETCH(QStringList, answering);
        QMap<int, QString> serials;
        for (const Profile &profile : devices)
            serials.insert(m_bus->plug(profile), profile.serial);

        UsbLink link;
        link.client->setSerialNumber(serial);
        link.client->setStrictSerialNumber(strict);
        QSignalSpy errors(link.client, &ErrObject::error);
        QCOMPARE(link.open(), !answering.isEmpty());
        if (answering.isEmpty()) {
            QCOMPARE(signalTexts(errors),
                     QStringList{"error opening usb device: open libusb device failed: device not found"});
            return;
        }
        // A 120-register answer is 245 bytes: one bulk transfer still carries it whole.
        ModbusBytes registers;
        QVERIFY2(link.modbuser.readRegisters(400001, 120, registers, link.client->target()),
                 qPrintable(link.modbuser.errorString()));
        QCOMPARE(registers.size(), 240);
        QCOMPARE(registers.toUInt16(4), quint16(1002));
        QStringList answered;
        for (auto it = serials.cbegin(); it != serials.cend(); ++it) {
            if (m_bus->requestsSeen(it.key()) > 0)
                answered << it.value();
        }
        QCOMPARE(answered.size(), 1);
        QVERIFY2(answering.contains(answered.first()), qPrintable(answered.first()));
        // Only a fallback from a serial number that no device has tells the client another one.
        QCOMPARE(link.client->serialNumber(), strict ? serial : answered.first());
    }

    // A device that answers badly fails that request with a message, and the next one gets its own
    // answer (a late answer to the failed one is not taken for it).
    void badAnswerFailsOnlyItsRequest_data()
    {
        QTest::addColumn<UsbMeterBus::AnswerMode>("mode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("closes");
        QTest::newRow("silent") << UsbMeterBus::Silent << "received 0 bytes answer" << false;
        QTest::newRow("late") << UsbMeterBus::Late << "received 0 bytes answer" << false;
        QTest::newRow("oversized") << UsbMeterBus::Overflow << "received 0 bytes answer" << false;
        QTest::newRow("short") << UsbMeterBus::Truncated << "" << false;
        QTest::newRow("write refused") << UsbMeterBus::StallWrite << "error write data" << true;
    }

    void badAnswerFailsOnlyItsRequest()
    {
        QFETCH(UsbMeterBus::AnswerMode, mode);
        QFETCH(QString, message);
        QFETCH(bool, closes);
        const int number = m_bus->plug(Profile());
        UsbLink link;
        QVERIFY(link.open());
        QSignalSpy reopened(link.client, &Transport::transportConnected);
        m_bus->setAnswerMode(number, mode);
        quint16 value = 0;
        QVERIFY(!link.readRegister(400002, value));
        if (!message.isEmpty())
            QCOMPARE(link.modbuser.errorString(), message);
        QVERIFY(!link.modbuser.errorString().isEmpty());
        QCOMPARE(link.client->connected(), !closes);
        m_bus->setAnswerMode(number, UsbMeterBus::Answer);
        if (mode == UsbMeterBus::Late)
            QTRY_COMPARE(m_bus->pendingAnswers(number), 1);
        if (closes)
            QTRY_VERIFY(!reopened.isEmpty());
        QVERIFY2(link.readRegister(400001, value), qPrintable(link.modbuser.errorString()));
        QCOMPARE(value, quint16(1000));
    }

    // The request thread waits for an answer when the device goes: the request fails, the link
    // closes, and it opens again by itself once the device is back.
    void unplugMidExchangeClosesAndReconnects()
    {
        const int number = m_bus->plug(Profile());
        UsbLink link;
        link.client->setReadTimeout(5000);
        QVERIFY(link.open());
        m_bus->setAnswerMode(number, UsbMeterBus::Silent);
        QSignalSpy closed(link.client, &Transport::transportDisconnected);
        QSignalSpy reopened(link.client, &Transport::transportConnected);

        std::atomic<bool> done{false};
        bool ok = true;
        QString error;
        std::thread requester([&] {
            ModbusBytes answer;
            ok = link.client->sendBytes(ModbusBytes::fromModbusString(QStringLiteral("01 03 00 00 00 01 84 0A")),
                                        link.client->target(), &answer, &error);
            done = true;
        });
        QTRY_COMPARE(m_bus->requestsSeen(number), 1);
        m_bus->unplug(number);
        QTRY_VERIFY(done);
        requester.join();
        QVERIFY(!ok);
        QCOMPARE(error, QStringLiteral("received 0 bytes answer"));
        QTRY_VERIFY(!closed.isEmpty());
        QVERIFY(!link.client->connected());

        m_bus->plug(Profile());
        QTRY_VERIFY(!reopened.isEmpty());
        quint16 value = 0;
        QVERIFY2(link.readRegister(400001, value), qPrintable(link.modbuser.errorString()));
    }

    // Without an event endpoint there is nothing to poll, and the link still answers.
    void deviceWithoutEventEndpointGivesNoEvents()
    {
        Profile profile;
        profile.inEndpoints = 1;
        const int number = m_bus->plug(profile);
        UsbLink link;
        QVERIFY(link.open());
        m_bus->pushEvent(number, QByteArray::fromHex("02aa"));
        QVERIFY(!link.client->checkEventsSync());
        quint16 value = 0;
        QVERIFY(link.readRegister(400001, value));
    }

    // Key presses read from the event endpoint by the link's reader thread while the client's
    // executor thread reads registers over the same link.
    void keysAndRegisterReadsShareTheLink()
    {
        const int meter = m_bus->plug(Profile());
        ModbusLibusbClient link;
        link.setReadTimeout(1000);
        link.setEventsCheckInterval(2);
        QVERIFY2(link.connectTransport(false), qPrintable(link.errorString()));
        Eventer eventer;
        eventer.setTransport(&link);
        KeypadEkDigital keypad;
        keypad.setRetranslate(false);
        keypad.setEventer(&eventer);
        QSignalSpy codes(&keypad, &Keypad::keypadCodeEvent);
        QSignalSpy errors(&eventer, &ErrObject::error);
        // The first read after connecting is taken as stale and dropped.
        m_bus->pushEvent(meter, QByteArray::fromHex("0202"));
        QTRY_COMPARE(m_bus->pendingEventBytes(meter), 0);

        ModbusClient client;
        client.setTransport(&link);
        constexpr int Reads = 25;
        int reads = 0;
        QList<ModbusUInt16 *> items;
        for (quint32 i = 0; i < 4; ++i) {
            auto *item = new ModbusUInt16(400001 + i, &client);
            item->setClient(&client);
            connect(item, &ModbusItemBase::afterRead, this, [&reads, item] {
                if (++reads < Reads * 4)
                    item->read();
            });
            items.append(item);
            QVERIFY(item->read());
        }
        QList<quint8> pushed;
        for (int i = 0; i < 40; ++i) {
            const quint8 code = quint8((i % 2 ? 0x00 : 0x80) | (0x0B + i / 2 % 4));
            pushed.append(code);
            m_bus->pushEvent(meter, QByteArray::fromHex("0301") + char(code));
            // Each key is taken between the reads before the next is pushed.
            QTRY_COMPARE(m_bus->pendingEventBytes(meter), 0);
        }
        QTRY_COMPARE(codes.count(), pushed.size());
        QTRY_VERIFY(reads >= Reads * 4);
        for (int i = 0; i < pushed.size(); ++i)
            QCOMPARE(codes.at(i).at(0).value<quint8>(), pushed.at(i));
        for (quint32 i = 0; i < 4; ++i)
            QCOMPARE(items.at(int(i))->value(), quint16(1000 + i));
        QCOMPARE(client.errorTasksCount(), quint64(0));
        QCOMPARE(errors.count(), 0);
        QVERIFY(!keypad.key0());
    }

    void foreignTargetHasNoBytes()
    {
        ModbusLibusbClient client;
        ModbusTarget other;
        QSignalSpy errors(&client, &ErrObject::error);
        QCOMPARE(client.bytesAvailable(&other), 0);
        QCOMPARE(client.bytesAvailable(client.target()), 0);
        QCOMPARE(signalTexts(errors), QStringList{QStringLiteral("unknown target, bytes available will be 0")});
    }

private:
    UsbMeterBus *m_bus = nullptr;
};

QTEST_MAIN(tst_ModbusLibusbClient)
#include "tst_modbuslibusbclient.moc"
