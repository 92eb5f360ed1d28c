#include "usbmeterbus.h"

#include <QtQml/qqmlcontext.h>
#include <QtQml/qqmlengine.h>
#include <QtQuickTest/quicktest.h>

// The QML tests of the device models get an emulated USB bus as "usbBus", with one meter
// plugged before their components complete.
class Setup : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        if (!UsbMeterBus::available())
            qFatal("needs umockdev's preload library: run under umockdev-wrapper (ctest does)");
        auto *bus = new UsbMeterBus(engine);
        bus->plug(UsbMeterBus::Profile());
        engine->rootContext()->setContextProperty(QStringLiteral("usbBus"), bus);
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tavrexbus_usb, Setup)

#include "main.moc"
