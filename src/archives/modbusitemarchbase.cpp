#include "modbusitemarchbase.h"

#include "modbustaskarch.h"

ModbusItemArchBase::ModbusItemArchBase(int requestItemBytesCount, QObject *parent)
    : ModbusItemBase(requestItemBytesCount, parent)
{
    setReadOnly(true);
}

void ModbusItemArchBase::setValue(const QString &value)
{
    if (value == m_value)
        return;
    m_value = value;
    setBytes(ModbusBytes::fromModbusString(value), ValueChange);
    emit valueChanged();
    emit formatValueChanged();
}

void ModbusItemArchBase::updateValueFromBytes()
{
    setValue(QString::fromLatin1(bytes().toHex()));
}

void ModbusItemArchBase::setArchIndex(int archIndex)
{
    if (archIndex < 0 || archIndex > 0xFFFF) {
        setErrorString(tr("archive index %1 is out of range 0-65535").arg(archIndex));
        return;
    }
    if (archIndex == m_archIndex)
        return;
    m_archIndex = quint16(archIndex);
    emit archIndexChanged();
    archiveChanged();
}

void ModbusItemArchBase::setFunc(TavrexBus::ArchFunc func)
{
    if (func == m_func)
        return;
    m_func = func;
    emit funcChanged();
    archiveChanged();
}

void ModbusItemArchBase::setArchType(TavrexBus::ArchType archType)
{
    if (archType == m_archType)
        return;
    m_archType = archType;
    emit archTypeChanged();
    archiveChanged();
}

void ModbusItemArchBase::archiveChanged()
{
    reinitIntervalReading();
    needValueRead();
}

bool ModbusItemArchBase::checkValidResultTask(ModbusTask *task)
{
    if (!ModbusItemBase::checkValidResultTask(task))
        return false;
    const auto *arch = dynamic_cast<const ModbusTaskArch *>(task);
    return arch && arch->archIndex() == m_archIndex && arch->archType() == m_archType && arch->func() == m_func;
}

void ModbusItemArchBase::initArchTask(ModbusTaskArch &task) const
{
    task.setArchIndex(m_archIndex);
    task.setFunc(m_func);
    task.setArchType(m_archType);
    task.setForce(force());
}
