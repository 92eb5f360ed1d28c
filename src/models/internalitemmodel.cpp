#include "internalitemmodel.h"

#include "modbusitembase.h"

InternalItemModel::InternalItemModel(const ModbusItemBase &item, QObject *parent)
    : QAbstractTableModel(parent), m_item(item)
{
}

void InternalItemModel::setRoles(const RoleItems &roles)
{
    beginResetModel();
    m_columnRoles.clear();
    m_headers.clear();
    m_roleNames.clear();
    for (const RoleItem &role : roles) {
        m_columnRoles.append(role.role);
        m_headers.append(role.header);
        m_roleNames.insert(role.role, role.name);
    }
    endResetModel();
}

int InternalItemModel::getRoleByColumn(int column) const
{
    return m_columnRoles.value(column, -1);
}

int InternalItemModel::getColumnByRole(int role) const
{
    return int(m_columnRoles.indexOf(role));
}

int InternalItemModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_item.modelRowsCount();
}

int InternalItemModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_roleNames.size());
}

QVariant InternalItemModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    // A table view asks for the display role; the column decides which of the item's roles it shows.
    // The other built-in roles (decoration, size hint, font, ...) have nothing to show.
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        role = getRoleByColumn(index.column());
    else if (role < 32)
        return QVariant();
    return m_item.data(index.row(), role);
}

QVariant InternalItemModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_headers.size())
        return m_headers.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QHash<int, QByteArray> InternalItemModel::roleNames() const
{
    return m_roleNames;
}

void InternalItemModel::doItemsAboutToBeInserted(int first, int last)
{
    beginInsertRows(QModelIndex(), first, last);
}

void InternalItemModel::doItemsInserted()
{
    endInsertRows();
}

void InternalItemModel::doItemsAboutToBeRemoved(int first, int last)
{
    beginRemoveRows(QModelIndex(), first, last);
}

void InternalItemModel::doItemsRemoved()
{
    endRemoveRows();
}

void InternalItemModel::doItemsAboutToBeMoved(int first, int last, int destination)
{
    beginMoveRows(QModelIndex(), first, last, QModelIndex(), destination);
}

void InternalItemModel::doItemsMoved()
{
    endMoveRows();
}

void InternalItemModel::doItemsChanged(int first, int last)
{
    const int lastColumn = qMax(0, columnCount() - 1);
    emit dataChanged(index(first, 0), index(last, lastColumn));
}

void InternalItemModel::doAboutToBeReset()
{
    beginResetModel();
}

void InternalItemModel::doReset()
{
    endResetModel();
}
