#ifndef TAVREXBUS1_USBDEVICESMODEL_H
#define TAVREXBUS1_USBDEVICESMODEL_H

#include "mydeclarativeparserstatus.h"

#include <QtCore/QAbstractTableModel>
#include <QtCore/QList>

/// One USB device as listed: its device descriptor and its strings.
class TAVREXBUS1_EXPORT UsbListItem
{
public:
    bool operator==(const UsbListItem &other) const;
    bool operator!=(const UsbListItem &other) const { return !(*this == other); }

    quint8 descriptorType = 0;
    quint16 bcdUSB = 0;
    quint8 deviceClass = 0;
    quint8 deviceSubClass = 0;
    quint8 deviceProtocol = 0;
    quint8 maxPacketSize0 = 0;
    quint16 idVendor = 0;
    quint16 idProduct = 0;
    quint16 bcdDevice = 0;
    quint8 iManufacturer = 0;
    quint8 iProduct = 0;
    quint8 iSerialNumber = 0;
    quint8 numConfigurations = 0;
    QString manufacturer;
    QString product;
    QString serialNumber;
};

/// The USB devices on the host's buses that pass three wildcard filters ("*" any run of
/// characters, "?" one; case-sensitive, matching anywhere in the text), for a user interface that
/// lets the user pick the vid, pid and serial number of a USB transport. fill() takes a new listing
/// and changes only the rows that changed.
class TAVREXBUS1_EXPORT UsbDevicesModel : public QAbstractTableModel, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    /// Filter on the vendor identifier as normalised text (such as 6a3d).
    Q_PROPERTY(QString vidFilter READ vidFilter WRITE setVidFilter NOTIFY vidFilterChanged)
    /// Filter on the product identifier as normalised text.
    Q_PROPERTY(QString pidFilter READ pidFilter WRITE setPidFilter NOTIFY pidFilterChanged)
    /// Filter on the serial number text (empty for a device without one).
    Q_PROPERTY(QString serialNumberFilter READ serialNumberFilter WRITE setSerialNumberFilter NOTIFY serialNumberFilterChanged)

public:
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

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
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
    /// vidFilter changed to vidFilter.
    void vidFilterChanged(const QString &vidFilter);
    /// pidFilter changed to pidFilter.
    void pidFilterChanged(const QString &pidFilter);
    /// serialNumberFilter changed to serialNumberFilter.
    void serialNumberFilterChanged(const QString &serialNumberFilter);

private:
    QString m_vidFilter = QStringLiteral("*");
    QString m_pidFilter = QStringLiteral("*");
    QString m_serialNumberFilter = QStringLiteral("*");
    QList<UsbListItem> m_items;
};

#endif
