#ifndef ROLEITEMS_H
#define ROLEITEMS_H

#include "tavrexbus1global.h"

#include <QtCore/qbytearray.h>
#include <QtCore/qlist.h>
#include <QtCore/qstring.h>

/// One column of an item's table model: the role it shows, its QML name and its header caption.
class TAVREXBUS1_EXPORT RoleItem
{
public:
    RoleItem() = default;
    /// A column showing role under name, captioned header.
    RoleItem(int role, const QByteArray &name, const QString &header)
        : role(role), name(name), header(header) {}

    /// Equal when role, name and header are.
    bool operator==(const RoleItem &other) const
    {
        return role == other.role && name == other.name && header == other.header;
    }

    /// The model role shown.
    int role = 0;
    /// The role's name in QML.
    QByteArray name;
    /// The column caption.
    QString header;
};

/// The columns of an item's table model.
class TAVREXBUS1_EXPORT RoleItems : public QList<RoleItem>
{
public:
    using QList<RoleItem>::QList;

    /// Index of the column named name; -1 when none.
    int indexOf(const QString &name) const;
    /// True when a column shows role.
    bool contains(int role) const;
};

#endif
