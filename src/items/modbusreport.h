#ifndef MODBUSREPORT_H
#define MODBUSREPORT_H

#include "modbusitembase.h"

#include <QtCore/qvariant.h>

/// The device report (report slave ID), with the device name and version taken out of its text.
///
/// Available in QML as `ModbusReport` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusReport : public ModbusItemBase
{
    Q_OBJECT
    /// The text of the device report.
    Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged)
    /// The device name: the report text up to its first blank.
    Q_PROPERTY(QString deviceName READ deviceName NOTIFY deviceNameChanged)
    /// The version after the name, such as 1.2.3.
    Q_PROPERTY(QString deviceVersion READ deviceVersion NOTIFY deviceVersionChanged)
    /// The parts of the version, as strings.
    Q_PROPERTY(QVariantList deviceVersionList READ deviceVersionList NOTIFY deviceVersionListChanged)

public:
    /// An empty report.
    explicit ModbusReport(QObject *parent = nullptr);

    /// Getter of the value property.
    QString value() const { return m_value; }
    /// Getter of the deviceVersionList property.
    QVariantList deviceVersionList() const { return m_deviceVersionList; }
    /// Getter of the deviceName property.
    QString deviceName() const { return m_deviceName; }
    /// Getter of the deviceVersion property.
    QString deviceVersion() const { return m_deviceVersion; }

    QString formatValue() const override { return m_value; }
    void setFormatValue(const QString &text) override { setValue(text); }
    ModbusTask *createModbusTask(TavrexBus::ModbusTaskType type, int interval) override;
    QVariant getTypedValue(const ModbusBytes &bytes) const override;

public Q_SLOTS:
    /// Setter of the value property.
    void setValue(const QString &value);

Q_SIGNALS:
    /// value changed.
    void valueChanged();
    /// deviceName changed to name.
    void deviceNameChanged(const QString &name);
    /// deviceVersion changed to version.
    void deviceVersionChanged(const QString &version);
    /// deviceVersionList changed to list.
    void deviceVersionListChanged(const QVariantList &list);

protected:
    void updateValueFromBytes() override;
    bool checkValidResultTask(ModbusTask *task) override;

private:
    void setDeviceName(const QString &name);
    void setDeviceVersion(const QString &version);
    void setDeviceVersionList(const QVariantList &list);

    QString m_value;
    QVariantList m_deviceVersionList;
    QString m_deviceName;
    QString m_deviceVersion;
};

#endif
