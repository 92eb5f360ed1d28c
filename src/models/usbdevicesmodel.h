#ifndef TAVREXBUS1_USBDEVICESMODEL_H
#define TAVREXBUS1_USBDEVICESMODEL_H

#include "mydeclarativeparserstatus.h"

#include <QtCore/QAbstractTableModel>
#include <QtCore/QList>

/// One USB device as listed: its device descriptor and its strings.
class TAVREXBUS1_EXPORT UsbListItem
{
public:
    /// Equal when every field is.
    bool operator==(const UsbListItem &other) const;
    /// The opposite of operator==().
    bool operator!=(const UsbListItem &other) const { return !(*this == other); }

    /// bDescriptorType of the device descriptor.
    quint8 descriptorType = 0;
    /// The USB version the device follows, in BCD.
    quint16 bcdUSB = 0;
    /// bDeviceClass.
    quint8 deviceClass = 0;
    /// bDeviceSubClass.
    quint8 deviceSubClass = 0;
    /// bDeviceProtocol.
    quint8 deviceProtocol = 0;
    /// Largest packet of endpoint 0, in bytes.
    quint8 maxPacketSize0 = 0;
    /// USB vendor identifier.
    quint16 idVendor = 0;
    /// USB product identifier.
    quint16 idProduct = 0;
    /// Device release number, in BCD.
    quint16 bcdDevice = 0;
    /// Index of the manufacturer string.
    quint8 iManufacturer = 0;
    /// Index of the product string.
    quint8 iProduct = 0;
    /// Index of the serial number string.
    quint8 iSerialNumber = 0;
    /// Number of configurations.
    quint8 numConfigurations = 0;
    /// The manufacturer string; empty when unreadable.
    QString manufacturer;
    /// The product string; empty when unreadable.
    QString product;
    /// The serial number string; empty when unreadable.
    QString serialNumber;
};

/// The USB devices on the host's buses that pass three wildcard filters ("*" any run of
/// characters, "?" one; case-sensitive, matching anywhere in the text), for a user interface that
/// lets the user pick the vid, pid and serial number of a USB transport. fill() takes a new listing
/// and changes only the rows that changed.
///
/// Available in QML as `UsbDevicesModel` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT UsbDevicesModel : public QAbstractTableModel, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    /// Filter on the vendor identifier as normalised text (such as 6a3d).
    Q_PROPERTY(QString vidFilter READ vidFilter WRITE setVidFilter NOTIFY vidFilterChanged)
    /// Filter on the product identifier as normalised text.
    Q_PROPERTY(QString pidFilter READ pidFilter WRITE setPidFilter NOTIFY pidFilterChanged)
    /// Filter on the serial number text (empty for a device without one).
    Q_PROPERTY(QString serialNumberFilter READ serialNumberFilter WRITE setSerialNumberFilter
               NOTIFY serialNumberFilterChanged)

public:
    /// The fields of a device: its descriptor fields, its strings, and vid and pid as numbers for a transport.
    enum Roles {
        DescriptorTypeRole = Qt::UserRole,
        BcdUsbRole,
        DeviceClassRole,
        DeviceSubClassRole,
        DeviceProtocolRole,
        MaxPacketSize0Role,
        IdVendorRole,
        IdProductRole,
        BcdDeviceRole,
        IManufacturerRole,
        IProductRole,
        ISerialNumberRole,
        NumConfigurationsRole,
        ManufacturerRole,
        ProductRole,
        SerialNumberRole,
        VidRole,
        PidRole
    };

    /// A model that lists devices once QML has set its filters.
    explicit UsbDevicesModel(QObject *parent = nullptr);

    /// Getter of the vidFilter property.
    QString vidFilter() const;
    /// Getter of the pidFilter property.
    QString pidFilter() const;
    /// Getter of the serialNumberFilter property.
    QString serialNumberFilter() const;
    /// The devices on the buses now that pass the filters, in libusb's order.
    QList<UsbListItem> getUsbList() const;
    /// An identifier as lower-case hexadecimal of 4 digits: 0x6A3D gives 6a3d, 0x4f gives 004f.
    static QString normalID(quint16 id);

    /// One row per device that passes the filters.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    /// One column per role.
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    /// The field of role of the device in the row of index.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    /// The QML names of the roles.
    QHash<int, QByteArray> roleNames() const override;
    /// Called by the QML engine once every property is set; takes the first listing.
    void componentComplete() override;

public Q_SLOTS:
    /// Lists the devices again: rows of devices gone are removed, new devices appended.
    void fill();
    /// Setter of the vidFilter property.
    void setVidFilter(const QString &filter);
    /// Setter of the pidFilter property.
    void setPidFilter(const QString &filter);
    /// Setter of the serialNumberFilter property.
    void setSerialNumberFilter(const QString &filter);

Q_SIGNALS:
    /// vidFilter changed; the new value is passed.
    void vidFilterChanged(const QString &vidFilter);
    /// pidFilter changed; the new value is passed.
    void pidFilterChanged(const QString &pidFilter);
    /// serialNumberFilter changed; the new value is passed.
    void serialNumberFilterChanged(const QString &serialNumberFilter);

private:
    QString m_vidFilter = QStringLiteral("*");
    QString m_pidFilter = QStringLiteral("*");
    QString m_serialNumberFilter = QStringLiteral("*");
    QList<UsbListItem> m_items;
};

#endif
