#ifndef ROLEITEMS_H
#define ROLEITEMS_H

#include "tavrexbus1global.h"

#include <QtCore/qbytearray.h>
#include <QtCore/qlist.h>
#include <QtCore/qstring.h>

// One column of an item's table model: the role it shows, its QML name and its header caption.
class TAVREXBUS1_EXPORT RoleItem
{
public:
    RoleItem() = default;
    RoleItem(int role, const QByteArray &name, const QString &header)
        : role(role), name(name), header(header) {}

    bool operator==(const RoleItem &other) const
    {
        return role == other.role && name == other.name && header == other.header;
    }

    int role = 0;
    QByteArray name;
    QString header;
};

class TAVREXBUS1_EXPORT RoleItems : public QList<RoleItem>
{
public:
    using QList<RoleItem>::QList;

    int indexOf(const QString &name) const;
    bool contains(int role) const;
};

#endif
