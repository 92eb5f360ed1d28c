#include "eksiteitem.h"

EkSiteItem::EkSiteItem(QObject *parent)
    : ModbusFile(parent)
{
    setLength(recordSize());
}

// Stores and notifies the names that changed; true when any did.
bool EkSiteItem::storeNames(const QString &group, const QString &subGroup, const QString &site)
{
    const QStringList before = sitePath();
    if (m_groupName != group) {
        m_groupName = group;
        emit groupNameChanged(group);
    }
    if (m_subGroupName != subGroup) {
        m_subGroupName = subGroup;
        emit subGroupNameChanged(subGroup);
    }
    if (m_siteName != site) {
        m_siteName = site;
        emit siteNameChanged(site);
    }
    if (before == sitePath())
        return false;
    emit sitePathChanged(sitePath());
    return true;
}

void EkSiteItem::setGroupName(const QString &name)
{
    if (storeNames(name, m_subGroupName, m_siteName) && !m_updating)
        updateBytes();
}

void EkSiteItem::setSubGroupName(const QString &name)
{
    if (storeNames(m_groupName, name, m_siteName) && !m_updating)
        updateBytes();
}

void EkSiteItem::setSiteName(const QString &name)
{
    if (storeNames(m_groupName, m_subGroupName, name) && !m_updating)
        updateBytes();
}

void EkSiteItem::setSitePath(const QStringList &path)
{
    if (path.size() != 3)
        return;
    if (storeNames(path.at(0), path.at(1), path.at(2)) && !m_updating)
        updateBytes();
}

void EkSiteItem::setNameSize(int size)
{
    if (m_nameSize == size || size < 0)
        return;
    m_nameSize = size;
    decodeNames();
    setLength(recordSize());
    updateBytes();
    emit nameSizeChanged(size);
}

void EkSiteItem::setReservedBytesCount(int count)
{
    if (m_reservedBytesCount == count || count < 0)
        return;
    m_reservedBytesCount = count;
    setLength(recordSize());
    if (!m_updating)
        updateBytes();
    emit reservedBytesCountChanged(count);
}

void EkSiteItem::remove()
{
    storeNames(QString(), QString(), QString());
    updateBytes();
    write();
}

void EkSiteItem::updateBytes()
{
    ModbusBytes record;
    for (const QString &name : sitePath()) {
        ModbusBytes field = ModbusBytes::fromStringUtf8(name, m_nameSize);
        field.resize(m_nameSize, true);
        record.append(field);
    }
    record.append(QByteArray(m_reservedBytesCount, '\0'));
    record.appendUInt16(qChecksumModbus(record));
    setBytes(record, ValueChange);
}

void EkSiteItem::updateValueFromBytes()
{
    ModbusFile::updateValueFromBytes();
    m_updating = true;
    decodeNames();
    m_updating = false;
}

void EkSiteItem::decodeNames()
{
    const ModbusBytes record = bytes();
    if (record.size() < 2 || !record.checkCrc16()) {
        storeNames(QString(), QString(), QString());
        return;
    }
    const int s = m_nameSize;
    const QString group = record.toStringUtf8(0, s);
    const QString subGroup = group.isEmpty() ? QString() : record.toStringUtf8(s, s);
    storeNames(group, subGroup, record.toStringUtf8(2 * s, s));
}
