#include "usbbulkdevice.h"

#include "usbsession_p.h"

namespace {

bool matches(libusb_device *device, quint16 vid, quint16 pid)
{
    libusb_device_descriptor descriptor{};
    return libusb_get_device_descriptor(device, &descriptor) == LIBUSB_SUCCESS && descriptor.idVendor == vid
        && descriptor.idProduct == pid;
}

} // namespace

UsbBulkDevice::UsbBulkDevice(QObject *parent)
    : QObject(parent)
{
}

UsbBulkDevice::~UsbBulkDevice()
{
    close(true);
}

bool UsbBulkDevice::open(quint16 vid, quint16 pid, int configuration, QString &serialNumber)
{
    m_errorText.clear();
    m_lastError = 0;
    close(true);
    m_session = std::make_unique<UsbSession>();
    if (!m_session->isValid()) {
        setError(m_session->errorText());
        m_session.reset();
        return false;
    }
    for (libusb_device *device : m_session->devices()) {
        if (!matches(device, vid, pid))
            continue;
        libusb_device_handle *handle = nullptr;
        const int result = libusb_open(device, &handle);
        if (result != LIBUSB_SUCCESS) {
            qCDebug(lcUsb) << "cannot open a candidate device:" << Usb::errorText(result);
            continue;
        }
        libusb_device_descriptor descriptor{};
        libusb_get_device_descriptor(device, &descriptor);
        const QString serial = Usb::stringDescriptor(handle, descriptor.iSerialNumber);
        if ((serialNumber.isEmpty() || serialNumber == serial) && descriptor.bNumConfigurations > 0) {
            m_handle = handle;
            serialNumber = serial;
            // A meter that also presents itself to a kernel driver is taken from it while claimed.
            libusb_set_auto_detach_kernel_driver(m_handle, 1);
            break;
        }
        libusb_close(handle);
    }
    if (!m_handle) {
        qCDebug(lcUsb) << "devices present:" << Usb::describeDevices(*m_session);
        m_session.reset();
        setError(tr("open libusb device failed: device not found"));
        return false;
    }
    if (!setConfiguration(configuration)) {
        const QString text = m_errorText;
        close(true);
        m_errorText = text;
        return false;
    }
    return true;
}

void UsbBulkDevice::close(bool quiet)
{
    if (m_handle) {
        const QString text = m_errorText;
        releaseInterface();
        libusb_close(m_handle);
        m_handle = nullptr;
        if (quiet)
            m_errorText = text;
    }
    m_claimedInterface = -1;
    m_session.reset();
}

bool UsbBulkDevice::isOpen() const
{
    return m_handle != nullptr;
}

bool UsbBulkDevice::setConfiguration(int configuration)
{
    if (!m_handle) {
        setError(tr("setConfiguration failed: device didn't set"));
        return false;
    }
    // Setting the active configuration again resets the device, and fails while a kernel driver holds it.
    int active = 0;
    if (libusb_get_configuration(m_handle, &active) == LIBUSB_SUCCESS && active == configuration)
        return true;
    const int result = libusb_set_configuration(m_handle, configuration);
    if (result == LIBUSB_SUCCESS)
        return true;
    setError(tr("setConfiguration failed, error: %1 (%2)").arg(result).arg(Usb::errorText(result)), result);
    return false;
}

bool UsbBulkDevice::selectInterface(int interface)
{
    if (m_claimedInterface == interface)
        return true;
    if (m_claimedInterface >= 0 && !releaseInterface())
        return false;
    const int result = m_handle ? libusb_claim_interface(m_handle, interface) : LIBUSB_ERROR_NO_DEVICE;
    if (result != LIBUSB_SUCCESS) {
        setError(tr("selectInterface failed, usb_claim_interface error: %1").arg(result), result);
        return false;
    }
    m_claimedInterface = interface;
    return true;
}

bool UsbBulkDevice::releaseInterface()
{
    if (m_claimedInterface < 0)
        return true;
    const int result = libusb_release_interface(m_handle, m_claimedInterface);
    m_claimedInterface = -1;
    // A device that has gone has released everything by itself.
    if (result == LIBUSB_SUCCESS || result == LIBUSB_ERROR_NO_DEVICE)
        return true;
    setError(tr("releaseInterface failed, usb_release_interface error: %1").arg(result), result);
    return false;
}

QList<quint8> UsbBulkDevice::inEndpoints(int interface)
{
    return endpoints(interface, true);
}

QList<quint8> UsbBulkDevice::outEndpoints(int interface)
{
    return endpoints(interface, false);
}

QList<quint8> UsbBulkDevice::endpoints(int interface, bool in)
{
    QList<quint8> result;
    libusb_config_descriptor *config = nullptr;
    if (!m_handle || libusb_get_active_config_descriptor(libusb_get_device(m_handle), &config) != LIBUSB_SUCCESS) {
        setError(tr("usb_find_interface failed: config_descriptor didn't assigned"));
        return result;
    }
    if (interface < 0 || interface >= config->bNumInterfaces || config->interface[interface].num_altsetting < 1) {
        setError(tr("usb_find_interface failed: interface doesn't exist"));
    } else {
        const libusb_interface_descriptor &setting = config->interface[interface].altsetting[0];
        for (int i = 0; i < setting.bNumEndpoints; ++i) {
            const quint8 address = setting.endpoint[i].bEndpointAddress;
            if (bool(address & LIBUSB_ENDPOINT_IN) == in)
                result.append(address);
        }
    }
    libusb_free_config_descriptor(config);
    return result;
}

QByteArray UsbBulkDevice::bulkRead(int maxSize, quint8 endpoint, int timeout)
{
    if (!m_handle) {
        setError(Usb::errorText(LIBUSB_ERROR_NO_DEVICE), LIBUSB_ERROR_NO_DEVICE);
        return QByteArray();
    }
    m_lastError = 0;
    m_readBuffer.resize(qMax(0, maxSize));
    int transferred = 0;
    const int result = libusb_bulk_transfer(m_handle, endpoint, reinterpret_cast<unsigned char *>(m_readBuffer.data()),
                                            int(m_readBuffer.size()), &transferred, Usb::timeout(timeout));
    if (result != LIBUSB_SUCCESS && !(result == LIBUSB_ERROR_TIMEOUT && transferred > 0)) {
        setError(Usb::errorText(result), result);
        return QByteArray();
    }
    return m_readBuffer.left(transferred);
}

int UsbBulkDevice::bulkWrite(const QByteArray &data, quint8 endpoint, int timeout)
{
    if (!m_handle) {
        setError(Usb::errorText(LIBUSB_ERROR_NO_DEVICE), LIBUSB_ERROR_NO_DEVICE);
        return LIBUSB_ERROR_NO_DEVICE;
    }
    m_lastError = 0;
    QByteArray bytes = data;
    int transferred = 0;
    const int result = libusb_bulk_transfer(m_handle, endpoint, reinterpret_cast<unsigned char *>(bytes.data()),
                                            int(bytes.size()), &transferred, Usb::timeout(timeout));
    if (result != LIBUSB_SUCCESS) {
        setError(Usb::errorText(result), result);
        return result;
    }
    return transferred;
}

QString UsbBulkDevice::errorText() const
{
    return m_errorText;
}

bool UsbBulkDevice::deviceLost() const
{
    return m_lastError == LIBUSB_ERROR_NO_DEVICE;
}

QStringList UsbBulkDevice::devicesList()
{
    UsbSession session;
    return Usb::describeDevices(session);
}

void UsbBulkDevice::setError(const QString &text, int code)
{
    m_errorText = text;
    m_lastError = code;
}
