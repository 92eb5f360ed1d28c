#ifndef TAVREXBUS1_SERIALPORTSMODEL_H
#define TAVREXBUS1_SERIALPORTSMODEL_H

#include "tavrexbus1global.h"

#include <QtCore/QAbstractTableModel>
#include <QtCore/QList>
#include <QtSerialPort/QSerialPortInfo>

/// The host's serial ports, one row each, for a user interface that lets the user pick the port of a
/// serial transport. Roles 0-8 name the fields; a table view shows one field per column.
class TAVREXBUS1_EXPORT SerialPortsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
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

    explicit SerialPortsModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
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
