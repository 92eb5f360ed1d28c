#include "modbustaskarchrecord67.h"

ModbusTaskArchRecord67::ModbusTaskArchRecord67(ModbusItemBase &record, quint32 label,
                                               const QList<quint32> &labels, int interval)
    : ModbusTaskArchRecord65(record, label, interval), m_labels(labels)
{
    setFunc(TavrexBus::Func67);
}

ModbusTaskArchRecord67::ModbusTaskArchRecord67(const ModbusTaskArchRecord67 &source, int index)
    : ModbusTaskArchRecord65(source, index), m_labels(source.m_labels)
{
}

ModbusTask *ModbusTaskArchRecord67::clone() const
{
    return new ModbusTaskArchRecord67(*this);
}

ModbusTaskList ModbusTaskArchRecord67::split()
{
    return splitInto(*this);
}

quint32 ModbusTaskArchRecord67::getNextLabel(quint32 label, bool *ok, quint32 step) const
{
    if (archType() != TavrexBus::TimeArch)
        return ModbusTaskArchRecord65::getNextLabel(label, ok, step);
    const qsizetype position = m_labels.indexOf(label);
    const bool found = position >= 0 && position + qsizetype(step) < m_labels.size();
    if (ok)
        *ok = found;
    return found ? m_labels.at(position + qsizetype(step)) : label;
}
