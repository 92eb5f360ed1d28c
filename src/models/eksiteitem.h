#ifndef EKSITEITEM_H
#define EKSITEITEM_H

#include "modbusfile.h"

/// One record of the meter's sites table in a device file: group, subgroup and site name, reserved
/// bytes and a CRC. Setting a name rebuilds the record; a record with a bad CRC reads as empty.
///
/// Available in QML as `EkSiteItem` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT EkSiteItem : public ModbusFile
{
    Q_OBJECT
    /// The group name; stored as UTF-8 in nameSize bytes, cut or padded with zeros.
    Q_PROPERTY(QString groupName READ groupName WRITE setGroupName NOTIFY groupNameChanged)
    /// The subgroup name, stored like groupName; a record without a group reads with none.
    Q_PROPERTY(QString subGroupName READ subGroupName WRITE setSubGroupName NOTIFY subGroupNameChanged)
    /// The site name, stored like groupName.
    Q_PROPERTY(QString siteName READ siteName WRITE setSiteName NOTIFY siteNameChanged)
    /// Bytes per name field (default 1).
    Q_PROPERTY(int nameSize READ nameSize WRITE setNameSize NOTIFY nameSizeChanged)
    /// Group, subgroup and site name; lists of another length are ignored.
    Q_PROPERTY(QStringList sitePath READ sitePath WRITE setSitePath NOTIFY sitePathChanged)
    /// Zero bytes between the names and the CRC (default 36).
    Q_PROPERTY(int reservedBytesCount READ reservedBytesCount WRITE setReservedBytesCount
               NOTIFY reservedBytesCountChanged)

public:
    /// An empty record of the default size.
    explicit EkSiteItem(QObject *parent = nullptr);

    /// Getter of the groupName property.
    QString groupName() const { return m_groupName; }
    /// Getter of the subGroupName property.
    QString subGroupName() const { return m_subGroupName; }
    /// Getter of the siteName property.
    QString siteName() const { return m_siteName; }
    /// Getter of the nameSize property.
    int nameSize() const { return m_nameSize; }
    /// Getter of the sitePath property.
    QStringList sitePath() const { return { m_groupName, m_subGroupName, m_siteName }; }
    /// Getter of the reservedBytesCount property.
    int reservedBytesCount() const { return m_reservedBytesCount; }
    /// Bytes of the record: three names, the reserved bytes and the CRC.
    int recordSize() const { return 3 * m_nameSize + m_reservedBytesCount + 2; }

public Q_SLOTS:
    /// Setter of the groupName property.
    void setGroupName(const QString &name);
    /// Setter of the subGroupName property.
    void setSubGroupName(const QString &name);
    /// Setter of the siteName property.
    void setSiteName(const QString &name);
    /// Setter of the nameSize property; negative sizes are ignored.
    void setNameSize(int size);
    /// Setter of the sitePath property.
    void setSitePath(const QStringList &path);
    /// Setter of the reservedBytesCount property; negative counts are ignored.
    void setReservedBytesCount(int count);
    /// Clears the names and writes the empty record to the device.
    void remove();

Q_SIGNALS:
    /// groupName changed; the new value is passed.
    void groupNameChanged(const QString &name);
    /// subGroupName changed; the new value is passed.
    void subGroupNameChanged(const QString &name);
    /// siteName changed; the new value is passed.
    void siteNameChanged(const QString &name);
    /// nameSize changed; the new value is passed.
    void nameSizeChanged(int size);
    /// sitePath changed; the new value is passed.
    void sitePathChanged(const QStringList &path);
    /// reservedBytesCount changed; the new value is passed.
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
