#include "usbsession_p.h"

UsbSession::UsbSession()
{
    const int result = libusb_init(&m_context);
    if (result == LIBUSB_SUCCESS)
        return;
    m_context = nullptr;
    m_errorText = Usb::errorText(result);
    qCDebug(lcUsb) << "libusb did not start:" << m_errorText;
}

UsbSession::~UsbSession()
{
    if (m_list)
        libusb_free_device_list(m_list, 1);
    if (m_context)
        libusb_exit(m_context);
}

QList<libusb_device *> UsbSession::devices()
{
    QList<libusb_device *> result;
    if (!m_context)
        return result;
    if (!m_list) {
        const ssize_t count = libusb_get_device_list(m_context, &m_list);
        if (count < 0) {
            m_list = nullptr;
            m_errorText = Usb::errorText(int(count));
            return result;
        }
    }
    for (libusb_device **device = m_list; *device; ++device)
        result.append(*device);
    return result;
}

QString Usb::errorText(int code)
{
    return QString::fromLatin1(libusb_strerror(code));
}

QString Usb::stringDescriptor(libusb_device_handle *handle, quint8 index)
{
    if (!handle || index == 0)
        return QString();
    unsigned char buffer[256] = {};
    const int length = libusb_get_string_descriptor_ascii(handle, index, buffer, sizeof buffer);
    if (length < 0) {
        qCDebug(lcUsb) << "string descriptor" << index << "unreadable:" << errorText(length);
        return QString();
    }
    return QString::fromLatin1(reinterpret_cast<const char *>(buffer), length).trimmed();
}

QStringList Usb::describeDevices(UsbSession &session)
{
    QStringList lines;
    for (libusb_device *device : session.devices()) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS)
            continue;
        lines << QStringLiteral("VID = 0x%1 PID = 0x%2")
                     .arg(descriptor.idVendor, 0, 16)
                     .arg(descriptor.idProduct, 0, 16);
    }
    return lines;
}
