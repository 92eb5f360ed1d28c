#include "simulateddevice.h"
#include "usbmeterbus.h"

#include <QtQml/qqmlcontext.h>
#include <QtQml/qqmlengine.h>
#include <QtQuickTest/quicktest.h>

// Every test file gets a simulated meter behind a loopback server, as "testDevice", so that a
// client declared in QML has a device to talk to. Run on umockdev's test bed (the device model
// tests are), it also gets an emulated USB bus as "usbBus", with one meter plugged before its
// components complete.
class Setup : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        auto *device = new SimulatedDevice(engine);
        for (quint32 i = 0; i < 100; ++i)
            device->setRegister(400001 + i, int(i * 10));
        engine->rootContext()->setContextProperty(QStringLiteral("testDevice"), device);
        if (UsbMeterBus::available()) {
            auto *bus = new UsbMeterBus(engine);
            bus->plug(UsbMeterBus::Profile());
            engine->rootContext()->setContextProperty(QStringLiteral("usbBus"), bus);
        }
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tavrexbus, Setup)

#include "main.moc"
