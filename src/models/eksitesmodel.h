#ifndef EKSITESMODEL_H
#define EKSITESMODEL_H

#include "modbusbytes.h"
#include "mydeclarativeparserstatus.h"
#include "sitemodelitem.h"

#include <QtCore/qabstractitemmodel.h>
#include <QtCore/qmap.h>
#include <QtCore/qpointer.h>
#include <QtCore/qvariant.h>

class ModbusItemBase;

/// The meter's table of named measurement sites, each filed under a group and a subgroup. The
/// table lives in one register item (usually a ModbusFile) as fixed-size records; the model decodes
/// it, shows one level of the group tree at a time, and edits and writes it back.
///
/// Available in QML as `EkSitesModel` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT EkSitesModel : public QAbstractListModel, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_MOC_INCLUDE("modbusitembase.h")
    /// Characters per name (20); each name field is twice as many bytes.
    Q_PROPERTY(int maxNameSize READ maxNameSize NOTIFY maxNameSizeChanged)
    /// Records in the table (default 20); site indexes run from 0 to one less.
    Q_PROPERTY(int maxSitesCount READ maxSitesCount WRITE setMaxSitesCount NOTIFY maxSitesCountChanged)
    /// The most groups the application allows (default 100); kept for it, not enforced by the model.
    Q_PROPERTY(int maxGroups READ maxGroups WRITE setMaxGroups NOTIFY maxGroupsChanged)
    /// The item holding the table; not owned.
    Q_PROPERTY(ModbusItemBase *item READ item WRITE setItem NOTIFY itemChanged)
    /// The group shown, outermost first; empty at the root. A path that does not exist stops at its
    /// deepest existing group.
    Q_PROPERTY(QStringList groupPath READ groupPath WRITE setGroupPath NOTIFY groupPathChanged)
    /// Sites in the whole table.
    Q_PROPERTY(int sitesCount READ sitesCount NOTIFY sitesCountChanged)
    /// The last element of groupPath, "" at the root.
    Q_PROPERTY(QString groupName READ groupName NOTIFY groupNameChanged)
    /// Reserved zero bytes at the end of each record, before its CRC (default 0).
    Q_PROPERTY(int reservedBytesCount READ reservedBytesCount WRITE setReservedBytesCount
               NOTIFY reservedBytesCountChanged)

public:
    /// The model roles, named in QML "name", "type" (SiteModelItem::ItemType), "size" (children),
    /// "path", "visiblePath", "site" (site index, -1 for a group) and "level" (1 for the top level).
    enum Roles { NameRole = 0, TypeRole, SizeRole, PathRole, VisiblePathRole, SiteRole, LevelRole };

    /// An empty model with no item, showing the root.
    explicit EkSitesModel(QObject *parent = nullptr);
    ~EkSitesModel() override;

    /// Getter of the maxNameSize property.
    int maxNameSize() const { return m_maxNameSize; }
    /// Getter of the maxSitesCount property.
    int maxSitesCount() const { return m_maxSitesCount; }
    /// Setter of the maxSitesCount property; the item's bytes are decoded again.
    void setMaxSitesCount(int count);
    /// Getter of the maxGroups property.
    int maxGroups() const { return m_maxGroups; }
    /// Setter of the maxGroups property.
    void setMaxGroups(int count);
    /// Getter of the item property.
    ModbusItemBase *item() const { return m_item; }
    /// Setter of the item property; the table is decoded from the item's bytes.
    void setItem(ModbusItemBase *item);
    /// Getter of the groupPath property.
    QStringList groupPath() const { return m_groupPath; }
    /// Getter of the sitesCount property.
    int sitesCount() const { return int(m_sites.size()); }
    /// Getter of the groupName property.
    QString groupName() const { return m_groupPath.isEmpty() ? QString() : m_groupPath.constLast(); }
    /// Getter of the reservedBytesCount property.
    int reservedBytesCount() const { return m_reservedBytesCount; }
    /// Setter of the reservedBytesCount property; the item's bytes are decoded again.
    void setReservedBytesCount(int count);
    /// Bytes per record: three name fields, the reserved bytes and the CRC.
    int recordSize() const { return 6 * m_maxNameSize + m_reservedBytesCount + 2; }
    /// The table image last built or read.
    ModbusBytes tableBytes() const { return m_image; }
    /// Site index to path (group, subgroup, site name).
    QMap<quint16, QStringList> sites() const { return m_sites; }
    /// Decodes a table image into the site map: records with a bad CRC are free, a table of the wrong
    /// length is empty.
    static QMap<quint16, QStringList> decodeTable(const ModbusBytes &bytes, int maxNameSize, int reservedBytesCount,
                                                   int maxSitesCount);
    /// The table image of a site map.
    static ModbusBytes encodeTable(const QMap<quint16, QStringList> &sites, int maxNameSize, int reservedBytesCount,
                                   int maxSitesCount);

    /// Called by the QML engine once every property is set; builds the tree.
    void componentComplete() override;
    /// One row per child of the group shown: its subgroups first, then its sites, each by name.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    /// Two columns.
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    /// The field of role of the group or site in the row of index.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    /// The QML names of the roles.
    QHash<int, QByteArray> roleNames() const override;

    /// The lowest free site index; -1 when the table is full.
    Q_INVOKABLE int getNewSiteIndex() const;
    /// The lowest site index in use; -1 when there is no site.
    Q_INVOKABLE int getFirstSiteIndex() const;
    /// Sites filed under the group at path (the whole table for an empty path).
    Q_INVOKABLE int getSitesCount(const QStringList &path) const;
    /// Index of the lowest-numbered site of this name; -1 when there is none.
    Q_INVOKABLE int getSiteIndex(const QString &name) const;
    /// The name of the site at index; empty when there is none.
    Q_INVOKABLE QString getSiteName(int index) const;
    /// Group, subgroup and name of the site at index; empty when there is none.
    Q_INVOKABLE QStringList getSitePath(int index) const;
    /// Every site index in use, in ascending order.
    Q_INVOKABLE QVariantList getSitesIndexes() const;
    /// The site indexes filed under the group at path, in ascending order; all for an empty path.
    Q_INVOKABLE QVariantList getSitesIndexes(const QStringList &path) const;
    /// The site indexes filed directly under group and subGroup (an empty subGroup: directly in group).
    Q_INVOKABLE QVariantList getSitesIndexes(const QString &group, const QString &subGroup) const;
    /// The top-level group names, sorted regardless of case.
    Q_INVOKABLE QStringList getGroups() const;
    /// The subgroups of the outermost group of groupPath.
    Q_INVOKABLE QStringList getSubGroups() const;
    /// The subgroup names of group, sorted regardless of case.
    Q_INVOKABLE QStringList getSubGroups(const QString &group) const;
    /// Every site name, in site index order.
    Q_INVOKABLE QStringList getSites() const;
    /// The whole tree for tree views: a list of maps with "caption", "isGroup" and "level", and
    /// "children" for a group or "siteIndex" for a site.
    Q_INVOKABLE QVariantList getTree() const;
    /// siteName when no site has it, else siteName numbered on (" 2", " 3" …) until the name is free.
    Q_INVOKABLE QString getUniqueSiteName(const QString &siteName) const;

public Q_SLOTS:
    /// Files the site at siteIndex under sitePath (its last three names: group, subgroup, site; names
    /// cut to the field size). An empty site name removes it; a full table or an index out of range
    /// is ignored. With writeToDevice, the table is written and read back.
    void setSite(int siteIndex, const QStringList &sitePath, bool writeToDevice = false);
    /// Frees the record of siteIndex; with writeToDevice, the table is written and read back.
    void removeSite(int siteIndex, bool writeToDevice = false);
    /// Removes every site under the group at path; with writeToDevice, the table is written and read back.
    void removeGroup(const QStringList &path, bool writeToDevice = false);
    /// Renames the group at path (one or two names) in every site under it; with writeToDevice, the
    /// table is written and read back.
    void renameGroup(const QStringList &path, const QString &newName, bool writeToDevice = false);
    /// Removes every site from the model and the item; nothing is written to the device.
    void removeAll();
    /// Reads the item from the device; the model follows when the read completes.
    void readAll();
    /// Stores the table in the item and writes it to the device.
    void writeAll();
    /// Rebuilds the tree from the table, staying in the group shown as far as it still exists.
    void fill();
    /// Shows the subgroup groupName of the group shown; ignored when there is none.
    void cd(const QString &groupName);
    /// Shows the parent of the group shown.
    void cdUp();
    /// Setter of the groupPath property.
    void setGroupPath(const QStringList &path);

Q_SIGNALS:
    /// maxNameSize changed; the new value is passed.
    void maxNameSizeChanged(int size);
    /// maxSitesCount changed; the new value is passed.
    void maxSitesCountChanged(int count);
    /// maxGroups changed; the new value is passed.
    void maxGroupsChanged(int count);
    /// item changed; the new value is passed.
    void itemChanged(ModbusItemBase *item);
    /// groupPath changed; the new value is passed.
    void groupPathChanged(const QStringList &path);
    /// sitesCount changed; the new value is passed.
    void sitesCountChanged(int count);
    /// groupName changed; the new value is passed.
    void groupNameChanged(const QString &name);
    /// reservedBytesCount changed; the new value is passed.
    void reservedBytesCountChanged(int count);

private Q_SLOTS:
    void onItemAfterRead();
    void onItemDestroyed();

private:
    QString fieldName(const QString &name) const;
    QStringList normalPath(const QStringList &path) const;
    void bytesToList();
    void installImage();
    void commit(bool writeToDevice);
    void updateSitesCount();
    // The deepest existing group along path.
    const SiteModelItem *nodeAt(const QStringList &path) const;
    const SiteModelItem *currentNode() const;
    QStringList existingPath(const QStringList &path) const;
    // Moves to the deepest existing group of path; called inside a model reset.
    void enterPath(const QStringList &path);
    static QVariantList treeList(const SiteModelItem *node);

    int m_maxNameSize = 20;
    int m_maxSitesCount = 20;
    int m_maxGroups = 100;
    QPointer<ModbusItemBase> m_item;
    int m_reservedBytesCount = 0;
    int m_sitesCount = 0;
    QStringList m_groupPath;
    QMap<quint16, QStringList> m_sites;
    SiteModelItem m_root;
    ModbusBytes m_image;
    bool m_writing = false;
};

#endif
