#ifndef USBSESSION_P_H
#define USBSESSION_P_H

#include <QtCore/QList>
#include <QtCore/QString>

#include "tavrexbuslogging_p.h"

#include <libusb.h>

// One libusb context: a fresh scan of the buses, released with the object. The USB transport and
// the USB device model each start their own, so a listing or a connect always sees the bus as it is.
class UsbSession
{
public:
    UsbSession();
    ~UsbSession();
    UsbSession(const UsbSession &) = delete;
    UsbSession &operator=(const UsbSession &) = delete;

    bool isValid() const { return m_context != nullptr; }
    // libusb's own words when the context could not start (no USB in a container, for one).
    QString errorText() const { return m_errorText; }
    libusb_context *context() const { return m_context; }
    // The devices in libusb's order; they stay valid while this object lives.
    QList<libusb_device *> devices();

private:
    libusb_context *m_context = nullptr;
    libusb_device **m_list = nullptr;
    QString m_errorText;
};

namespace Usb {

// libusb takes 0 for "wait forever"; a time-out below 1 ms means as short as it gets.
inline unsigned int timeout(int msecs)
{
    return msecs < 1 ? 1u : unsigned(msecs);
}

QString errorText(int code);
// The string descriptor at index as ASCII, trimmed; empty when the descriptor names none or it cannot be read.
QString stringDescriptor(libusb_device_handle *handle, quint8 index);
// "VID = 0x6a3d PID = 0x2c05" for every device on the buses, as a diagnostic listing.
QStringList describeDevices(UsbSession &session);

} // namespace Usb

#endif
