#include "modbusreport.h"

#include "modbustaskreport.h"

#include <QtCore/qregularexpression.h>

ModbusReport::ModbusReport(QObject *parent)
    : ModbusItemBase(0, parent)
{
    setReadOnly(true);
}

ModbusTask *ModbusReport::createModbusTask(TavrexBus::ModbusTaskType type, int interval)
{
    if (type != TavrexBus::ReadTask)
        return nullptr;
    auto *task = new ModbusTaskReport(*this, interval);
    task->setForce(force());
    return task;
}

bool ModbusReport::checkValidResultTask(ModbusTask *task)
{
    return dynamic_cast<ModbusTaskReport *>(task) != nullptr;
}

void ModbusReport::updateValueFromBytes()
{
    setValue(TavrexBus::getDevNameFromReportBytes(bytes()));
}

QVariant ModbusReport::getTypedValue(const ModbusBytes &bytes) const
{
    return TavrexBus::getDevNameFromReportBytes(bytes);
}

void ModbusReport::setValue(const QString &value)
{
    if (value == m_value)
        return;
    m_value = value;
    setBytes(TavrexBus::setDevNameToReportBytes(bytes(), value), ValueChange);
    emit valueChanged();
    emit formatValueChanged();
    // A name, blanks, then dot-separated version parts: "Meter 1.2.3".
    static const QRegularExpression pattern(QStringLiteral("(\\w+)\\s+((\\.*\\w+)+)"));
    const QRegularExpressionMatch match = pattern.match(value);
    setDeviceName(match.hasMatch() ? match.captured(1) : QString());
    setDeviceVersion(match.hasMatch() ? match.captured(2) : QString());
}

void ModbusReport::setDeviceName(const QString &name)
{
    if (name == m_deviceName)
        return;
    m_deviceName = name;
    emit deviceNameChanged(name);
}

void ModbusReport::setDeviceVersion(const QString &version)
{
    if (version == m_deviceVersion)
        return;
    m_deviceVersion = version;
    QVariantList parts;
    if (!version.isEmpty()) {
        for (const QString &part : version.split(QLatin1Char('.')))
            parts.append(part);
    }
    setDeviceVersionList(parts);
    emit deviceVersionChanged(version);
}

void ModbusReport::setDeviceVersionList(const QVariantList &list)
{
    if (list == m_deviceVersionList)
        return;
    m_deviceVersionList = list;
    emit deviceVersionListChanged(list);
}
