#ifndef SITEMODELITEM_H
#define SITEMODELITEM_H

#include "tavrexbus1global.h"

#include <QtCore/qlist.h>
#include <QtCore/qstringlist.h>

/// A node of the sites tree: a group (site index -1) or a site. Owns its children.
class TAVREXBUS1_EXPORT SiteModelItem
{
public:
    /// What a node stands for.
    enum ItemType { Group = 0, Site = 1 };

    /// A node with no children; a site when siteIndex is not -1. It does not add itself to parent:
    /// appendChild() does that.
    explicit SiteModelItem(const QString &name = QString(), int siteIndex = -1, SiteModelItem *parent = nullptr);
    ~SiteModelItem();
    Q_DISABLE_COPY_MOVE(SiteModelItem)

    /// The group or site name.
    QString name() const { return m_name; }
    /// Renames the node.
    void setName(const QString &name) { m_name = name; }
    /// The site's record number in the sites table; -1 for a group.
    int siteIndex() const { return m_siteIndex; }
    /// The parent node; null for the root.
    SiteModelItem *parent() const { return m_parent; }
    /// The child nodes, in insertion order until sort(); owned by this node.
    const QList<SiteModelItem *> &children() const { return m_children; }
    /// Group or Site, from siteIndex.
    ItemType type() const { return m_siteIndex == -1 ? Group : Site; }
    /// Number of ancestors.
    int level() const;
    /// Number of site children.
    int sitesCount() const;
    /// Names from the root's child down to this node.
    QStringList visiblePath() const;

    /// Adds a child node and returns it.
    SiteModelItem *appendChild(const QString &name, int siteIndex);
    /// The child group of that name, or null.
    SiteModelItem *childGroup(const QString &name) const;
    /// Deletes every child node.
    void clear();
    /// Groups before sites, then by name compared in upper case; recursive.
    void sort();

private:
    QString m_name;
    int m_siteIndex;
    SiteModelItem *m_parent;
    QList<SiteModelItem *> m_children;
};

#endif
