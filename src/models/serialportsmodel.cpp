#include "serialportsmodel.h"

#include "usbdevicesmodel.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QLockFile>
#include <QtCore/QStandardPaths>

#include <csignal>
#include <cerrno>

namespace {

constexpr int ColumnCount = 7;

// Where QSerialPort keeps the lock file of a port it opens: the first readable directory that
// holds one or could.
QString lockFilePath(const QString &portName)
{
    static const QStringList directories{
        QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"), QStringLiteral("/tmp"), QStringLiteral("/var/tmp"),
        QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock"),
        QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    const QString name = QStringLiteral("LCK..") + QString(portName).replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString &directory : directories) {
        const QFileInfo info(directory);
        const QString path = directory + QLatin1Char('/') + name;
        if (info.isReadable() && (QFileInfo::exists(path) || info.isWritable()))
            return path;
    }
    return QString();
}

} // namespace

SerialPortsModel::SerialPortsModel(QObject *parent)
    : QAbstractTableModel(parent)
{
    fill();
}

void SerialPortsModel::fill()
{
    beginResetModel();
    m_ports = QSerialPortInfo::availablePorts();
    endResetModel();
}

bool SerialPortsModel::isBusy(const QSerialPortInfo &port)
{
    const QString path = lockFilePath(port.portName());
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    qint64 pid = 0;
    QString host;
    QString application;
    if (!QLockFile(path).getLockInfo(&pid, &host, &application) || pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

int SerialPortsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_ports.size());
}

int SerialPortsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SerialPortsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_ports.size())
        return QVariant();
    const QSerialPortInfo &port = m_ports.at(index.row());
    // A table view asks for the display role: its column picks the field.
    const int field = role == Qt::DisplayRole ? index.column() : role;
    switch (field) {
    case NameRole: return port.portName();
    case SystemLocationRole: return port.systemLocation();
    case DescriptionRole: return port.description();
    case ManufacturerRole: return port.manufacturer();
    case VendorIdentifierRole:
        return port.hasVendorIdentifier() ? UsbDevicesModel::normalID(port.vendorIdentifier()) : QString();
    case ProductIdentifierRole:
        return port.hasProductIdentifier() ? UsbDevicesModel::normalID(port.productIdentifier()) : QString();
    case IsBusyRole: return isBusy(port);
    case IsNullRole: return port.isNull();
    case IsValidRole: return !port.isNull();
    default: return QVariant();
    }
}

QVariant SerialPortsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QStringList titles{QStringLiteral("name"),       QStringLiteral("location"),
                                    QStringLiteral("description"), QStringLiteral("manufacturer"),
                                    QStringLiteral("vendor ID"),   QStringLiteral("product ID"),
                                    QStringLiteral("busy")};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < titles.size())
        return titles.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QHash<int, QByteArray> SerialPortsModel::roleNames() const
{
    return {{NameRole, "name"},
            {SystemLocationRole, "systemLocation"},
            {DescriptionRole, "description"},
            {ManufacturerRole, "manufacturer"},
            {VendorIdentifierRole, "vendorIdentifier"},
            {ProductIdentifierRole, "productIdentifier"},
            {IsBusyRole, "isBusy"},
            {IsNullRole, "isNull"},
            {IsValidRole, "isValid"}};
}
