#ifndef INTERNALITEMMODEL_H
#define INTERNALITEMMODEL_H

#include "roleitems.h"

#include <QtCore/qabstractitemmodel.h>
#include <QtCore/qlist.h>

class ModbusItemBase;

/// The rows of one register item (its array or its trend) as a table whose columns are the item's roles.
class TAVREXBUS1_EXPORT InternalItemModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    InternalItemModel(const ModbusItemBase &item, QObject *parent = nullptr);

    void setRoles(const RoleItems &roles);
    int getRoleByColumn(int column) const;
    int getColumnByRole(int role) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    void doItemsAboutToBeInserted(int first, int last);
    void doItemsInserted();
    void doItemsAboutToBeRemoved(int first, int last);
    void doItemsRemoved();
    void doItemsAboutToBeMoved(int first, int last, int destination);
    void doItemsMoved();
    void doItemsChanged(int first, int last);
    void doAboutToBeReset();
    void doReset();

private:
    const ModbusItemBase &m_item;
    QList<int> m_columnRoles;
    QList<QString> m_headers;
    QHash<int, QByteArray> m_roleNames;
};

#endif
