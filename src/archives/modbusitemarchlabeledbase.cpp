#include "modbusitemarchlabeledbase.h"

ModbusItemArchLabeledBase::ModbusItemArchLabeledBase(int requestItemBytesCount, QObject *parent)
    : ModbusItemArchBase(requestItemBytesCount, parent),
      m_label(TavrexBus::archLabelToSeconds(QDateTime::currentDateTime()))
{
    // The same label reads as a number or as a date-time, after the archive's kind.
    connect(this, &ModbusItemArchBase::archTypeChanged, this, &ModbusItemArchLabeledBase::labelChanged);
}

void ModbusItemArchLabeledBase::setLabel(quint32 label)
{
    if (label == m_label)
        return;
    m_label = label;
    onLabelChanged();
    emit labelChanged();
    emit timeLabelChanged();
}

void ModbusItemArchLabeledBase::onLabelChanged()
{
    reinitIntervalReading();
    needValueRead();
}

QDateTime ModbusItemArchLabeledBase::timeLabel() const
{
    return TavrexBus::archLabelToTime(m_label);
}

void ModbusItemArchLabeledBase::setTimeLabel(const QDateTime &time)
{
    setLabel(TavrexBus::archLabelToSeconds(time));
}

QVariant ModbusItemArchLabeledBase::getVariantLabel(quint32 label, bool forDisplay) const
{
    return TavrexBus::getVariantLabel(label, archType(), forDisplay, m_timeFormat);
}

quint32 ModbusItemArchLabeledBase::getIntLabel(const QVariant &label) const
{
    return TavrexBus::getIntLabel(label, m_timeFormat);
}

void ModbusItemArchLabeledBase::setVariantLabel(const QVariant &label)
{
    setLabel(getIntLabel(label));
}

void ModbusItemArchLabeledBase::setTimeFormat(const QString &format)
{
    if (format == m_timeFormat)
        return;
    m_timeFormat = format;
    emit timeFormatChanged();
}

void ModbusItemArchLabeledBase::setArchInterval(TavrexBus::ArchInterval interval)
{
    if (interval == m_archInterval)
        return;
    m_archInterval = interval;
    emit archIntervalChanged();
}
