#include "sitemodelitem.h"

#include <algorithm>

SiteModelItem::SiteModelItem(const QString &name, int siteIndex, SiteModelItem *parent)
    : m_name(name)
    , m_siteIndex(siteIndex)
    , m_parent(parent)
{
}

SiteModelItem::~SiteModelItem()
{
    clear();
}

int SiteModelItem::level() const
{
    int level = 0;
    for (const SiteModelItem *node = m_parent; node; node = node->m_parent)
        ++level;
    return level;
}

int SiteModelItem::sitesCount() const
{
    return int(std::count_if(m_children.cbegin(), m_children.cend(),
                             [](const SiteModelItem *child) { return child->type() == Site; }));
}

QStringList SiteModelItem::visiblePath() const
{
    QStringList path;
    for (const SiteModelItem *node = this; node->m_parent; node = node->m_parent)
        path.prepend(node->m_name);
    return path;
}

SiteModelItem *SiteModelItem::appendChild(const QString &name, int siteIndex)
{
    m_children.append(new SiteModelItem(name, siteIndex, this));
    return m_children.constLast();
}

SiteModelItem *SiteModelItem::childGroup(const QString &name) const
{
    for (SiteModelItem *child : m_children) {
        if (child->type() == Group && child->m_name == name)
            return child;
    }
    return nullptr;
}

void SiteModelItem::clear()
{
    qDeleteAll(m_children);
    m_children.clear();
}

void SiteModelItem::sort()
{
    std::stable_sort(m_children.begin(), m_children.end(), [](const SiteModelItem *a, const SiteModelItem *b) {
        if (a->type() != b->type())
            return a->type() == Group;
        return a->m_name.toUpper() < b->m_name.toUpper();
    });
    for (SiteModelItem *child : std::as_const(m_children))
        child->sort();
}
