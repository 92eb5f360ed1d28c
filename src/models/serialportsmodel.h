#ifndef TAVREXBUS1_SERIALPORTSMODEL_H
#define TAVREXBUS1_SERIALPORTSMODEL_H

#include "tavrexbus1global.h"

#include <QtCore/QAbstractTableModel>
#include <QtCore/QList>
#include <QtSerialPort/QSerialPortInfo>

/// The host's serial ports, one row each, for a user interface that lets the user pick the port of a
/// serial transport. Roles 0-8 name the fields; a table view shows one field per column.
///
/// Available in QML as `SerialPortsModel` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT SerialPortsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    /// The fields of a port: name, system location, description, manufacturer, vendor and product identifiers,
    /// and the busy, null and valid flags.
    enum Roles {
        NameRole = 0,
        SystemLocationRole,
        DescriptionRole,
        ManufacturerRole,
        VendorIdentifierRole,
        ProductIdentifierRole,
        IsBusyRole,
        IsNullRole,
        IsValidRole
    };

    /// A model of the ports present now.
    explicit SerialPortsModel(QObject *parent = nullptr);

    /// One row per port.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    /// One column per role.
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    /// The field of role (or of the column's role for Qt::DisplayRole) of the port in the row of index.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    /// The caption of a column.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    /// The QML names of the roles.
    QHash<int, QByteArray> roleNames() const override;

    /// Another process holds the port (its lock file names a live process).
    static bool isBusy(const QSerialPortInfo &port);

public Q_SLOTS:
    /// Lists the ports again.
    void fill();

private:
    QList<QSerialPortInfo> m_ports;
};

#endif
