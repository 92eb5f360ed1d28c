#include "roleitems.h"

#include <algorithm>

int RoleItems::indexOf(const QString &name) const
{
    const QByteArray key = name.toUtf8();
    const auto it = std::find_if(cbegin(), cend(), [&key](const RoleItem &r) { return r.name == key; });
    return it == cend() ? -1 : int(it - cbegin());
}

bool RoleItems::contains(int role) const
{
    return std::any_of(cbegin(), cend(), [role](const RoleItem &r) { return r.role == role; });
}
