#include "simulateddevice.h"
#include "usbmeterbus.h"

#include <TavrexBus1/eventer.h>
#include <TavrexBus1/keypadekdigital.h>
#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbuslibusbclient.h>
#include <TavrexBus1/modbusuint16.h>

#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

// Key presses of a meter on an emulated USB bus, read from its event endpoint by the link's reader
// thread while the client's executor thread reads registers over the same link.
class tst_EventsUsb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!UsbMeterBus::available())
            QSKIP("needs umockdev's preload library: run under umockdev-wrapper (ctest does)");
    }

    void keysAndRegisterReadsShareTheLink()
    {
        UsbMeterBus bus;
        const int meter = bus.plug(UsbMeterBus::Profile());
        for (quint32 i = 0; i < 4; ++i)
            bus.meter().setRegister(400001 + i, int(1000 + i));
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
        bus.pushEvent(meter, QByteArray::fromHex("0202"));
        QTRY_COMPARE(bus.pendingEventBytes(meter), 0);

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
            bus.pushEvent(meter, QByteArray::fromHex("0301") + char(code));
            QTest::qWait(1);
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
};

QTEST_GUILESS_MAIN(tst_EventsUsb)
#include "tst_eventsusb.moc"
