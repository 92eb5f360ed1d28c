#include "usbdevicesmodel.h"

#include "usbsession_p.h"

#include <QtCore/QRegularExpression>

namespace {

// The first role is column 0: a table view shows one field per column.
constexpr int ColumnCount = 13;

// "*" any run of characters, "?" one, everything else itself.
QRegularExpression wildcard(const QString &pattern)
{
    QString expression;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('*'))
            expression += QStringLiteral(".*");
        else if (c == QLatin1Char('?'))
            expression += QLatin1Char('.');
        else
            expression += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(expression);
}

UsbListItem listItem(const libusb_device_descriptor &descriptor, libusb_device_handle *handle)
{
    UsbListItem item;
    item.descriptorType = descriptor.bDescriptorType;
    item.bcdUSB = descriptor.bcdUSB;
    item.deviceClass = descriptor.bDeviceClass;
    item.deviceSubClass = descriptor.bDeviceSubClass;
    item.deviceProtocol = descriptor.bDeviceProtocol;
    item.maxPacketSize0 = descriptor.bMaxPacketSize0;
    item.idVendor = descriptor.idVendor;
    item.idProduct = descriptor.idProduct;
    item.bcdDevice = descriptor.bcdDevice;
    item.iManufacturer = descriptor.iManufacturer;
    item.iProduct = descriptor.iProduct;
    item.iSerialNumber = descriptor.iSerialNumber;
    item.numConfigurations = descriptor.bNumConfigurations;
    item.manufacturer = Usb::stringDescriptor(handle, descriptor.iManufacturer);
    item.product = Usb::stringDescriptor(handle, descriptor.iProduct);
    item.serialNumber = Usb::stringDescriptor(handle, descriptor.iSerialNumber);
    return item;
}

} // namespace

bool UsbListItem::operator==(const UsbListItem &other) const
{
    return descriptorType == other.descriptorType && bcdUSB == other.bcdUSB && deviceClass == other.deviceClass
        && deviceSubClass == other.deviceSubClass && deviceProtocol == other.deviceProtocol
        && maxPacketSize0 == other.maxPacketSize0 && idVendor == other.idVendor && idProduct == other.idProduct
        && bcdDevice == other.bcdDevice && iManufacturer == other.iManufacturer && iProduct == other.iProduct
        && iSerialNumber == other.iSerialNumber && numConfigurations == other.numConfigurations
        && manufacturer == other.manufacturer && product == other.product && serialNumber == other.serialNumber;
}

UsbDevicesModel::UsbDevicesModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

QString UsbDevicesModel::vidFilter() const
{
    return m_vidFilter;
}

void UsbDevicesModel::setVidFilter(const QString &filter)
{
    if (m_vidFilter == filter)
        return;
    m_vidFilter = filter;
    emit vidFilterChanged(filter);
}

QString UsbDevicesModel::pidFilter() const
{
    return m_pidFilter;
}

void UsbDevicesModel::setPidFilter(const QString &filter)
{
    if (m_pidFilter == filter)
        return;
    m_pidFilter = filter;
    emit pidFilterChanged(filter);
}

QString UsbDevicesModel::serialNumberFilter() const
{
    return m_serialNumberFilter;
}

void UsbDevicesModel::setSerialNumberFilter(const QString &filter)
{
    if (m_serialNumberFilter == filter)
        return;
    m_serialNumberFilter = filter;
    emit serialNumberFilterChanged(filter);
}

QString UsbDevicesModel::normalID(quint16 id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

QList<UsbListItem> UsbDevicesModel::getUsbList() const
{
    QList<UsbListItem> items;
    const QRegularExpression vid = wildcard(m_vidFilter);
    const QRegularExpression pid = wildcard(m_pidFilter);
    const QRegularExpression serial = wildcard(m_serialNumberFilter);
    UsbSession session;
    for (libusb_device *device : session.devices()) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS
            || !vid.match(normalID(descriptor.idVendor)).hasMatch()
            || !pid.match(normalID(descriptor.idProduct)).hasMatch())
            continue;
        // A device that cannot be opened is still listed, without its strings.
        libusb_device_handle *handle = nullptr;
        if (libusb_open(device, &handle) != LIBUSB_SUCCESS)
            handle = nullptr;
        const UsbListItem item = listItem(descriptor, handle);
        if (handle)
            libusb_close(handle);
        if (serial.match(item.serialNumber).hasMatch())
            items.append(item);
    }
    return items;
}

void UsbDevicesModel::fill()
{
    const QList<UsbListItem> items = getUsbList();
    for (int row = int(m_items.size()) - 1; row >= 0; --row) {
        if (items.contains(m_items.at(row)))
            continue;
        beginRemoveRows(QModelIndex(), row, row);
        m_items.removeAt(row);
        endRemoveRows();
    }
    for (const UsbListItem &item : items) {
        if (m_items.contains(item))
            continue;
        const int row = int(m_items.size());
        beginInsertRows(QModelIndex(), row, row);
        m_items.append(item);
        endInsertRows();
    }
}

void UsbDevicesModel::componentComplete()
{
    MyDeclarativeParserStatus::componentComplete();
    fill();
}

int UsbDevicesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

int UsbDevicesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant UsbDevicesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_items.size())
        return QVariant();
    if (role < Qt::UserRole)
        role = Qt::UserRole + index.column();
    const UsbListItem &item = m_items.at(index.row());
    switch (role) {
    case DescriptorTypeRole: return int(item.descriptorType);
    case BcdUsbRole: return int(item.bcdUSB);
    case DeviceClassRole: return int(item.deviceClass);
    case DeviceSubClassRole: return int(item.deviceSubClass);
    case DeviceProtocolRole: return int(item.deviceProtocol);
    case MaxPacketSize0Role: return int(item.maxPacketSize0);
    case IdVendorRole: return int(item.idVendor);
    case IdProductRole: return int(item.idProduct);
    case BcdDeviceRole: return int(item.bcdDevice);
    case IManufacturerRole: return int(item.iManufacturer);
    case IProductRole: return int(item.iProduct);
    case ISerialNumberRole: return int(item.iSerialNumber);
    case NumConfigurationsRole: return int(item.numConfigurations);
    case ManufacturerRole: return item.manufacturer;
    case ProductRole: return item.product;
    case SerialNumberRole: return item.serialNumber;
    case VidRole: return normalID(item.idVendor);
    case PidRole: return normalID(item.idProduct);
    default: return QVariant();
    }
}

QHash<int, QByteArray> UsbDevicesModel::roleNames() const
{
    return {{DescriptorTypeRole, "descriptorType"}, {BcdUsbRole, "bcdUSB"},
            {DeviceClassRole, "deviceClass"},       {DeviceSubClassRole, "deviceSubClass"},
            {DeviceProtocolRole, "deviceProtocol"}, {MaxPacketSize0Role, "maxPacketSize0"},
            {IdVendorRole, "idVendor"},             {IdProductRole, "idProduct"},
            {BcdDeviceRole, "bcdDevice"},           {IManufacturerRole, "iManufacturer"},
            {IProductRole, "iProduct"},             {ISerialNumberRole, "iSerialNumber"},
            {NumConfigurationsRole, "numConfigurations"}, {ManufacturerRole, "manufacturer"},
            {ProductRole, "product"},               {SerialNumberRole, "serialNumber"},
            {VidRole, "vid"},                       {PidRole, "pid"}};
}
