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
class TAVREXBUS1_EXPORT EkSitesModel : public QAbstractListModel, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_MOC_INCLUDE("modbusitembase.h")
    /// Characters per name; each name field is twice as many bytes.
    Q_PROPERTY(int maxNameSize READ maxNameSize NOTIFY maxNameSizeChanged)
    /// Records in the table.
    Q_PROPERTY(int maxSitesCount READ maxSitesCount WRITE setMaxSitesCount NOTIFY maxSitesCountChanged)
    Q_PROPERTY(int maxGroups READ maxGroups WRITE setMaxGroups NOTIFY maxGroupsChanged)
    /// The item holding the table; not owned.
    Q_PROPERTY(ModbusItemBase *item READ item WRITE setItem NOTIFY itemChanged)
    /// The group shown, outermost first; empty at the root.
    Q_PROPERTY(QStringList groupPath READ groupPath WRITE setGroupPath NOTIFY groupPathChanged)
    Q_PROPERTY(int sitesCount READ sitesCount NOTIFY sitesCountChanged)
    /// The last element of groupPath, "" at the root.
    Q_PROPERTY(QString groupName READ groupName NOTIFY groupNameChanged)
    /// Reserved zero bytes at the end of each record, before its CRC.
    Q_PROPERTY(int reservedBytesCount READ reservedBytesCount WRITE setReservedBytesCount
               NOTIFY reservedBytesCountChanged)

public:
    enum Roles { NameRole = 0, TypeRole, SizeRole, PathRole, VisiblePathRole, SiteRole, LevelRole };

    explicit EkSitesModel(QObject *parent = nullptr);
    ~EkSitesModel() override;

    int maxNameSize() const { return m_maxNameSize; }
    int maxSitesCount() const { return m_maxSitesCount; }
    void setMaxSitesCount(int count);
    int maxGroups() const { return m_maxGroups; }
    void setMaxGroups(int count);
    ModbusItemBase *item() const { return m_item; }
    void setItem(ModbusItemBase *item);
    QStringList groupPath() const { return m_groupPath; }
    int sitesCount() const { return int(m_sites.size()); }
    QString groupName() const { return m_groupPath.isEmpty() ? QString() : m_groupPath.constLast(); }
    int reservedBytesCount() const { return m_reservedBytesCount; }
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

    void componentComplete() override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    Q_INVOKABLE int getNewSiteIndex() const;
    Q_INVOKABLE int getFirstSiteIndex() const;
    Q_INVOKABLE int getSitesCount(const QStringList &path) const;
    Q_INVOKABLE int getSiteIndex(const QString &name) const;
    Q_INVOKABLE QString getSiteName(int index) const;
    Q_INVOKABLE QStringList getSitePath(int index) const;
    Q_INVOKABLE QVariantList getSitesIndexes() const;
    Q_INVOKABLE QVariantList getSitesIndexes(const QStringList &path) const;
    Q_INVOKABLE QVariantList getSitesIndexes(const QString &group, const QString &subGroup) const;
    Q_INVOKABLE QStringList getGroups() const;
    Q_INVOKABLE QStringList getSubGroups() const;
    Q_INVOKABLE QStringList getSubGroups(const QString &group) const;
    Q_INVOKABLE QStringList getSites() const;
    Q_INVOKABLE QVariantList getTree() const;
    Q_INVOKABLE QString getUniqueSiteName(const QString &siteName) const;

public Q_SLOTS:
    void setSite(int siteIndex, const QStringList &sitePath, bool writeToDevice = false);
    void removeSite(int siteIndex, bool writeToDevice = false);
    void removeGroup(const QStringList &path, bool writeToDevice = false);
    void renameGroup(const QStringList &path, const QString &newName, bool writeToDevice = false);
    void removeAll();
    void readAll();
    void writeAll();
    void fill();
    void cd(const QString &groupName);
    void cdUp();
    void setGroupPath(const QStringList &path);

Q_SIGNALS:
    void maxNameSizeChanged(int size);
    void maxSitesCountChanged(int count);
    void maxGroupsChanged(int count);
    void itemChanged(ModbusItemBase *item);
    void groupPathChanged(const QStringList &path);
    void sitesCountChanged(int count);
    void groupNameChanged(const QString &name);
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
