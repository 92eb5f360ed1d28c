#include "programrun.h"
#include "simulateddevice.h"
#include "usbmeterbus.h"

#include <QtTest/QTest>

// The command-line client reaches a meter on the emulated USB bus: it inherits the test bed
// (umockdev's preload library and directory), and this process answers its transfers.
class tst_TavrexBusUsb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!UsbMeterBus::available())
            QSKIP("needs umockdev's preload library: run under umockdev-wrapper (ctest does)");
    }

    void readsThroughUsbAddress_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed");
        QTest::newRow("vid:pid") << "usb://6a3d:2c05" << 0 << "4660";
        QTest::newRow("vid:pid/serial") << "usb://6A3D:2C05/SN0002" << 0 << "4660";
        QTest::newRow("serial nobody has") << "usb://6a3d:2c05/SN9" << 1
                                           << "error opening usb device: open libusb device failed: device not found";
        QTest::newRow("not hexadecimal") << "usb://6a3g:2c05" << 1 << "is not a device URL";
    }

    void readsThroughUsbAddress()
    {
        QFETCH(QString, url);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        UsbMeterBus bus;
        UsbMeterBus::Profile profile;
        profile.serial = QStringLiteral("SN0002");
        bus.plug(profile);
        bus.meter().setRegister(400001, 0x1234);
        // Its transfers are answered on the test bed's and the meter's threads while this one waits.
        const ProgramRun run = runCli({QStringLiteral("read"), QStringLiteral("400001"), QStringLiteral("--url"), url});
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2((run.out + run.err).contains(printed), qPrintable(run.out + run.err));
    }
};

QTEST_MAIN(tst_TavrexBusUsb)
#include "tst_tavrexbususb.moc"
