#ifndef EKSITEITEM_H
#define EKSITEITEM_H

#include "modbusfile.h"

/// One record of the meter's sites table in a device file: group, subgroup and site name, reserved
/// bytes and a CRC. Setting a name rebuilds the record; a record with a bad CRC reads as empty.
class TAVREXBUS1_EXPORT EkSiteItem : public ModbusFile
{
    Q_OBJECT
    Q_PROPERTY(QString groupName READ groupName WRITE setGroupName NOTIFY groupNameChanged)
    Q_PROPERTY(QString subGroupName READ subGroupName WRITE setSubGroupName NOTIFY subGroupNameChanged)
    Q_PROPERTY(QString siteName READ siteName WRITE setSiteName NOTIFY siteNameChanged)
    /// Bytes per name field (default 1).
    Q_PROPERTY(int nameSize READ nameSize WRITE setNameSize NOTIFY nameSizeChanged)
    /// Group, subgroup and site name.
    Q_PROPERTY(QStringList sitePath READ sitePath WRITE setSitePath NOTIFY sitePathChanged)
    /// Zero bytes between the names and the CRC (default 36).
    Q_PROPERTY(int reservedBytesCount READ reservedBytesCount WRITE setReservedBytesCount
               NOTIFY reservedBytesCountChanged)

public:
    explicit EkSiteItem(QObject *parent = nullptr);

    QString groupName() const { return m_groupName; }
    QString subGroupName() const { return m_subGroupName; }
    QString siteName() const { return m_siteName; }
    int nameSize() const { return m_nameSize; }
    QStringList sitePath() const { return { m_groupName, m_subGroupName, m_siteName }; }
    int reservedBytesCount() const { return m_reservedBytesCount; }
    /// Bytes of the record: three names, the reserved bytes and the CRC.
    int recordSize() const { return 3 * m_nameSize + m_reservedBytesCount + 2; }

public Q_SLOTS:
    void setGroupName(const QString &name);
    void setSubGroupName(const QString &name);
    void setSiteName(const QString &name);
    void setNameSize(int size);
    void setSitePath(const QStringList &path);
    void setReservedBytesCount(int count);
    /// Clears the names and writes the empty record to the device.
    void remove();

Q_SIGNALS:
    void groupNameChanged(const QString &name);
    void subGroupNameChanged(const QString &name);
    void siteNameChanged(const QString &name);
    void nameSizeChanged(int size);
    void sitePathChanged(const QStringList &path);
    void reservedBytesCountChanged(int count);

protected:
    void updateValueFromBytes() override;

private:
    void updateBytes();
    void decodeNames();
    bool storeNames(const QString &group, const QString &subGroup, const QString &site);

    QString m_groupName;
    QString m_subGroupName;
    QString m_siteName;
    int m_nameSize = 1;
    int m_reservedBytesCount = 36;
    bool m_updating = false;
};

#endif
