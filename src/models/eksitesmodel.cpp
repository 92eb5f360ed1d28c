#include "eksitesmodel.h"

#include "objectwatch_p.h"
#include "eksitestable_p.h"
#include "modbusitembase.h"

#include <QtCore/qset.h>

#include <algorithm>

using EkSitesTable::clearUnderEmptyGroup;

namespace {

constexpr int PathSize = 3;

bool startsWith(const QStringList &path, const QStringList &prefix)
{
    if (prefix.isEmpty() || prefix.size() >= path.size())
        return false;
    return std::equal(prefix.cbegin(), prefix.cend(), path.cbegin());
}

bool caseBlindLess(const QString &a, const QString &b)
{
    return a.toUpper() < b.toUpper();
}

QStringList sortedUnique(QStringList list)
{
    list.removeDuplicates();
    list.removeAll(QString());
    std::sort(list.begin(), list.end(), caseBlindLess);
    return list;
}

} // namespace

EkSitesModel::EkSitesModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

EkSitesModel::~EkSitesModel() = default;

QMap<quint16, QStringList> EkSitesModel::decodeTable(const ModbusBytes &bytes, int maxNameSize, int reservedBytesCount,
                                                     int maxSitesCount)
{
    return EkSitesTable::decode(bytes, maxNameSize, reservedBytesCount, maxSitesCount);
}

ModbusBytes EkSitesModel::encodeTable(const QMap<quint16, QStringList> &sites, int maxNameSize, int reservedBytesCount,
                                      int maxSitesCount)
{
    return EkSitesTable::encode(sites, maxNameSize, reservedBytesCount, maxSitesCount);
}

QString EkSitesModel::fieldName(const QString &name) const
{
    const int field = 2 * m_maxNameSize;
    return ModbusBytes::fromStringUtf8(name, field).toStringUtf8(0, field);
}

// Group, subgroup and site name as the device will hold them.
QStringList EkSitesModel::normalPath(const QStringList &path) const
{
    QStringList normal;
    for (qsizetype i = std::max<qsizetype>(0, path.size() - PathSize); i < path.size(); ++i)
        normal << fieldName(path.at(i));
    while (normal.size() < PathSize)
        normal.prepend(QString());
    clearUnderEmptyGroup(normal);
    return normal;
}

void EkSitesModel::setMaxSitesCount(int count)
{
    if (m_maxSitesCount == count)
        return;
    m_maxSitesCount = count;
    emit maxSitesCountChanged(count);
    onItemAfterRead();
}

void EkSitesModel::setMaxGroups(int count)
{
    if (m_maxGroups == count)
        return;
    m_maxGroups = count;
    emit maxGroupsChanged(count);
}

void EkSitesModel::setReservedBytesCount(int count)
{
    if (m_reservedBytesCount == count)
        return;
    m_reservedBytesCount = count;
    emit reservedBytesCountChanged(count);
    onItemAfterRead();
}

void EkSitesModel::setItem(ModbusItemBase *item)
{
    if (m_item == item)
        return;
    rewatch(this, m_item, item, &EkSitesModel::onItemDestroyed);
    if (item)
        connect(item, &ModbusItemBase::afterRead, this, &EkSitesModel::onItemAfterRead);
    bytesToList();
    if (!initializing())
        fill();
    emit itemChanged(item);
}

void EkSitesModel::onItemDestroyed()
{
    m_item = nullptr;
    emit itemChanged(nullptr);
}

void EkSitesModel::onItemAfterRead()
{
    if (m_writing)
        return;
    bytesToList();
    if (!initializing())
        fill();
}

void EkSitesModel::bytesToList()
{
    if (m_writing)
        return;
    m_image = m_item ? m_item->bytes() : ModbusBytes();
    m_sites = decodeTable(m_image, m_maxNameSize, m_reservedBytesCount, m_maxSitesCount);
    updateSitesCount();
}

void EkSitesModel::updateSitesCount()
{
    if (m_sitesCount == sitesCount())
        return;
    m_sitesCount = sitesCount();
    emit sitesCountChanged(m_sitesCount);
}

void EkSitesModel::installImage()
{
    m_image = encodeTable(m_sites, m_maxNameSize, m_reservedBytesCount, m_maxSitesCount);
    if (!m_item)
        return;
    // The item's change must not come back into the model as a read.
    m_writing = true;
    m_item->setBytes(m_image, ModbusItemBase::InternalChange);
    m_writing = false;
}

void EkSitesModel::commit(bool writeToDevice)
{
    updateSitesCount();
    if (!writeToDevice) {
        installImage();
        fill();
        return;
    }
    writeAll();
    readAll();
    bytesToList();
    fill();
}

void EkSitesModel::componentComplete()
{
    MyDeclarativeParserStatus::componentComplete();
    fill();
}

void EkSitesModel::fill()
{
    const QStringList previous = m_groupPath;
    beginResetModel();
    m_root.clear();
    for (auto site = m_sites.cbegin(); site != m_sites.cend(); ++site) {
        SiteModelItem *parent = &m_root;
        for (int i = 0; i < PathSize - 1; ++i) {
            const QString &name = site->at(i);
            if (name.isEmpty())
                continue;
            SiteModelItem *group = parent->childGroup(name);
            parent = group ? group : parent->appendChild(name, -1);
        }
        parent->appendChild(site->at(PathSize - 1), site.key());
    }
    m_root.sort();
    enterPath(previous);
    endResetModel();
}

const SiteModelItem *EkSitesModel::nodeAt(const QStringList &path) const
{
    const SiteModelItem *node = &m_root;
    for (const QString &name : path) {
        const SiteModelItem *group = node->childGroup(name);
        if (!group)
            break;
        node = group;
    }
    return node;
}

const SiteModelItem *EkSitesModel::currentNode() const
{
    return nodeAt(m_groupPath);
}

// A path that no longer exists falls back to its deepest existing group.
QStringList EkSitesModel::existingPath(const QStringList &path) const
{
    return nodeAt(path)->visiblePath();
}

void EkSitesModel::enterPath(const QStringList &path)
{
    const QStringList reached = existingPath(path);
    if (reached == m_groupPath)
        return;
    const QString oldName = groupName();
    m_groupPath = reached;
    emit groupPathChanged(m_groupPath);
    if (groupName() != oldName)
        emit groupNameChanged(groupName());
}

void EkSitesModel::setGroupPath(const QStringList &path)
{
    if (existingPath(path) == m_groupPath)
        return;
    beginResetModel();
    enterPath(path);
    endResetModel();
}

void EkSitesModel::cd(const QString &groupName)
{
    if (currentNode()->childGroup(groupName))
        setGroupPath(m_groupPath + QStringList{ groupName });
}

void EkSitesModel::cdUp()
{
    if (!m_groupPath.isEmpty())
        setGroupPath(m_groupPath.mid(0, m_groupPath.size() - 1));
}

int EkSitesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(currentNode()->children().size());
}

int EkSitesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant EkSitesModel::data(const QModelIndex &index, int role) const
{
    const QList<SiteModelItem *> &children = currentNode()->children();
    if (!index.isValid() || index.row() < 0 || index.row() >= children.size())
        return QVariant();
    const SiteModelItem *node = children.at(index.row());
    switch (role) {
    case NameRole:
        return node->name();
    case TypeRole:
        return int(node->type());
    case SizeRole:
        return int(node->children().size());
    case PathRole:
        return m_groupPath + QStringList{ node->name() };
    case VisiblePathRole:
        return node->visiblePath();
    case SiteRole:
        return node->siteIndex();
    case LevelRole:
        return node->level();
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> EkSitesModel::roleNames() const
{
    return { { NameRole, "name" }, { TypeRole, "type" },       { SizeRole, "size" }, { PathRole, "path" },
             { VisiblePathRole, "visiblePath" }, { SiteRole, "site" }, { LevelRole, "level" } };
}

void EkSitesModel::setSite(int siteIndex, const QStringList &sitePath, bool writeToDevice)
{
    if (siteIndex < 0 || siteIndex >= m_maxSitesCount || siteIndex > 0xFFFF)
        return;
    const quint16 index = quint16(siteIndex);
    if (!m_sites.contains(index) && sitesCount() >= m_maxSitesCount)
        return;
    const QStringList path = normalPath(sitePath);
    if (sitePath.isEmpty() || path.at(2).isEmpty()) {
        removeSite(siteIndex, writeToDevice);
        return;
    }
    m_sites.insert(index, path);
    commit(writeToDevice);
}

void EkSitesModel::removeSite(int siteIndex, bool writeToDevice)
{
    if (siteIndex < 0 || siteIndex > 0xFFFF || m_sites.remove(quint16(siteIndex)) == 0)
        return;
    commit(writeToDevice);
}

void EkSitesModel::removeGroup(const QStringList &path, bool writeToDevice)
{
    const auto removed = m_sites.removeIf([&path](const auto &site) { return startsWith(site.value(), path); });
    if (removed > 0)
        commit(writeToDevice);
}

void EkSitesModel::renameGroup(const QStringList &path, const QString &newName, bool writeToDevice)
{
    if (path.isEmpty() || path.size() > PathSize - 1)
        return;
    const QString name = fieldName(newName);
    bool changed = false;
    for (auto site = m_sites.begin(); site != m_sites.end(); ++site) {
        if (!startsWith(*site, path))
            continue;
        (*site)[path.size() - 1] = name;
        clearUnderEmptyGroup(*site);
        changed = true;
    }
    if (!changed)
        return;
    // The group shown keeps being shown under its new name.
    if (m_groupPath.size() >= path.size() && std::equal(path.cbegin(), path.cend(), m_groupPath.cbegin()))
        m_groupPath[path.size() - 1] = name;
    commit(writeToDevice);
}

void EkSitesModel::removeAll()
{
    m_sites.clear();
    commit(false);
}

void EkSitesModel::readAll()
{
    if (m_item)
        m_item->read();
}

void EkSitesModel::writeAll()
{
    installImage();
    if (m_item)
        m_item->write();
}

int EkSitesModel::getNewSiteIndex() const
{
    for (int i = 0; i < m_maxSitesCount && i <= 0xFFFF; ++i) {
        if (!m_sites.contains(quint16(i)))
            return i;
    }
    return -1;
}

int EkSitesModel::getFirstSiteIndex() const
{
    return m_sites.isEmpty() ? -1 : m_sites.firstKey();
}

int EkSitesModel::getSitesCount(const QStringList &path) const
{
    return int(getSitesIndexes(path).size());
}

int EkSitesModel::getSiteIndex(const QString &name) const
{
    for (auto site = m_sites.cbegin(); site != m_sites.cend(); ++site) {
        if (site->at(2) == name)
            return site.key();
    }
    return -1;
}

QString EkSitesModel::getSiteName(int index) const
{
    return getSitePath(index).value(2);
}

QStringList EkSitesModel::getSitePath(int index) const
{
    return index < 0 || index > 0xFFFF ? QStringList() : m_sites.value(quint16(index));
}

QVariantList EkSitesModel::getSitesIndexes() const
{
    QVariantList list;
    for (quint16 index : m_sites.keys())
        list << int(index);
    return list;
}

QVariantList EkSitesModel::getSitesIndexes(const QStringList &path) const
{
    if (path.isEmpty())
        return getSitesIndexes();
    QVariantList list;
    for (auto site = m_sites.cbegin(); site != m_sites.cend(); ++site) {
        if (startsWith(*site, path))
            list << int(site.key());
    }
    return list;
}

QVariantList EkSitesModel::getSitesIndexes(const QString &group, const QString &subGroup) const
{
    QVariantList list;
    for (auto site = m_sites.cbegin(); site != m_sites.cend(); ++site) {
        if (site->at(0) == group && site->at(1) == subGroup)
            list << int(site.key());
    }
    return list;
}

QStringList EkSitesModel::getGroups() const
{
    QStringList groups;
    for (const QStringList &path : m_sites)
        groups << path.at(0);
    return sortedUnique(groups);
}

QStringList EkSitesModel::getSubGroups() const
{
    return getSubGroups(m_groupPath.value(0));
}

QStringList EkSitesModel::getSubGroups(const QString &group) const
{
    QStringList subGroups;
    for (const QStringList &path : m_sites) {
        if (path.at(0) == group)
            subGroups << path.at(1);
    }
    return sortedUnique(subGroups);
}

QStringList EkSitesModel::getSites() const
{
    QStringList names;
    for (const QStringList &path : m_sites)
        names << path.at(2);
    return names;
}

QVariantList EkSitesModel::treeList(const SiteModelItem *node)
{
    QVariantList list;
    for (const SiteModelItem *child : node->children()) {
        QVariantMap map{ { QStringLiteral("caption"), child->name() },
                         { QStringLiteral("isGroup"), child->type() == SiteModelItem::Group },
                         { QStringLiteral("level"), child->level() } };
        if (child->type() == SiteModelItem::Site)
            map.insert(QStringLiteral("siteIndex"), child->siteIndex());
        else
            map.insert(QStringLiteral("children"), treeList(child));
        list << map;
    }
    return list;
}

QVariantList EkSitesModel::getTree() const
{
    return treeList(&m_root);
}

QString EkSitesModel::getUniqueSiteName(const QString &siteName) const
{
    const QString separator = QStringLiteral(" ");
    QString base = siteName;
    QString candidate = siteName;
    qint64 counter = 2;
    const qsizetype space = siteName.lastIndexOf(separator);
    if (space >= 2) {
        bool numbered = false;
        const int k = siteName.mid(space + 1).toInt(&numbered);
        if (numbered) {
            base = siteName.left(space);
            candidate = base + separator + QString::number(k);
            counter = k + 1;
        }
    }
    QSet<QString> taken;
    for (const QStringList &path : m_sites)
        taken.insert(path.at(2));
    // With at most maxSitesCount names taken, one of the first maxSitesCount + 1 candidates is free.
    while (taken.contains(candidate))
        candidate = base + separator + QString::number(counter++);
    return candidate;
}
