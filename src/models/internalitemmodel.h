#ifndef INTERNALITEMMODEL_H
#define INTERNALITEMMODEL_H

#include "roleitems.h"

#include <QtCore/qabstractitemmodel.h>
#include <QtCore/qlist.h>

class ModbusItemBase;

/// The rows of one register item (its array or its trend) as a table whose columns are the item's roles.
///
/// Registered in QML as the uncreatable type `InternalItemModel` (`import TavrexBus 1.0`), so that QML sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT InternalItemModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    /// The table model of item.
    InternalItemModel(const ModbusItemBase &item, QObject *parent = nullptr);

    /// Replaces the columns with roles.
    void setRoles(const RoleItems &roles);
    /// The role shown in column; -1 when out of range.
    int getRoleByColumn(int column) const;
    /// The column showing role; -1 when none.
    int getColumnByRole(int role) const;

    /// The item's elements or trend entries, as its modelType says.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    /// One column per role.
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    /// The value of role (or of the column's role for Qt::DisplayRole) in the row of index.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    /// The caption of a column.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    /// The QML names of the roles.
    QHash<int, QByteArray> roleNames() const override;

    /// Rows first to last are about to be inserted.
    void doItemsAboutToBeInserted(int first, int last);
    /// The insertion is done.
    void doItemsInserted();
    /// Rows first to last are about to be removed.
    void doItemsAboutToBeRemoved(int first, int last);
    /// The removal is done.
    void doItemsRemoved();
    /// Rows first to last are about to move before destination.
    void doItemsAboutToBeMoved(int first, int last, int destination);
    /// The move is done.
    void doItemsMoved();
    /// Rows first to last changed.
    void doItemsChanged(int first, int last);
    /// Every row is about to be replaced.
    void doAboutToBeReset();
    /// Every row was replaced.
    void doReset();

private:
    const ModbusItemBase &m_item;
    QList<int> m_columnRoles;
    QList<QString> m_headers;
    QHash<int, QByteArray> m_roleNames;
};

#endif
