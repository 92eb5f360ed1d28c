#ifndef MODBUSREPORT_H
#define MODBUSREPORT_H

#include "modbusitembase.h"

#include <QtCore/qvariant.h>

// The device report (report slave ID), with the device name and version taken out of its text.
class TAVREXBUS1_EXPORT ModbusReport : public ModbusItemBase
{
    Q_OBJECT
    Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(QString deviceName READ deviceName NOTIFY deviceNameChanged)
    Q_PROPERTY(QString deviceVersion READ deviceVersion NOTIFY deviceVersionChanged)
    Q_PROPERTY(QVariantList deviceVersionList READ deviceVersionList NOTIFY deviceVersionListChanged)

public:
    explicit ModbusReport(QObject *parent = nullptr);

    QString value() const { return m_value; }
    QVariantList deviceVersionList() const { return m_deviceVersionList; }
    QString deviceName() const { return m_deviceName; }
    QString deviceVersion() const { return m_deviceVersion; }

    QString formatValue() const override { return m_value; }
    void setFormatValue(const QString &text) override { setValue(text); }
    ModbusTask *createModbusTask(TavrexBus::ModbusTaskType type, int interval) override;
    QVariant getTypedValue(const ModbusBytes &bytes) const override;

public Q_SLOTS:
    void setValue(const QString &value);

Q_SIGNALS:
    void valueChanged();
    void deviceNameChanged(const QString &name);
    void deviceVersionChanged(const QString &version);
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
