#include "modbustrendmodel.h"

#include "objectwatch_p.h"
#include "modbusitembase.h"

#include <QtCore/qcoreevent.h>

#include <cmath>

ModbusTrendModel::ModbusTrendModel(QObject *parent)
    : TrendModelBase(parent)
{
}

ModbusTrendModel::~ModbusTrendModel() = default;

void ModbusTrendModel::setItem(QObject *item)
{
    if (m_item == item)
        return;
    rewatch(this, m_item, item, &ModbusTrendModel::onItemDestroyed);
    if (item) {
        if (auto *modbusItem = qobject_cast<ModbusItemBase *>(item)) {
            connect(modbusItem, &ModbusItemBase::bytesWasRead, this, &ModbusTrendModel::onItemBytesWasRead);
            if (m_useItemBuffer) {
                for (int i = 0; i < modbusItem->trendSize(); ++i) {
                    if (const TrendBytesItem *entry = modbusItem->trendItem(i))
                        addValue(entry->label, modbusItem->trendValue(i).toDouble());
                }
            }
        }
    }
    emit itemChanged();
}

void ModbusTrendModel::onItemDestroyed()
{
    m_item = nullptr;
    emit itemChanged();
}

void ModbusTrendModel::onItemBytesWasRead(const QDateTime &label)
{
    auto *item = qobject_cast<ModbusItemBase *>(m_item.data());
    if (m_enabled && item)
        addValue(label, item->variantValue().toDouble());
}

void ModbusTrendModel::setUseItemBuffer(bool use)
{
    if (m_useItemBuffer == use)
        return;
    m_useItemBuffer = use;
    emit useItemBufferChanged();
}

void ModbusTrendModel::setEnabled(bool enabled)
{
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    emit enabledChanged();
}

void ModbusTrendModel::setSourceValue(qreal value)
{
    if (!initializing() && m_enabled && !m_running)
        addValue(value);
    if (m_sourceValue == value && !std::isnan(value))
        return;
    m_sourceValue = value;
    emit sourceValueChanged(value);
}

void ModbusTrendModel::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    updateTimer();
    emit runningChanged(running);
}

void ModbusTrendModel::setInterval(int interval)
{
    if (m_interval == interval)
        return;
    m_interval = interval;
    updateTimer();
    emit intervalChanged(interval);
}

void ModbusTrendModel::componentComplete()
{
    MyDeclarativeParserStatus::componentComplete();
    updateTimer();
}

void ModbusTrendModel::updateTimer()
{
    if (m_timerId != 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
    if (!initializing() && m_running && m_interval > 0)
        m_timerId = startTimer(m_interval);
}

void ModbusTrendModel::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerId)
        return TrendModelBase::timerEvent(event);
    if (m_running)
        addValue(m_sourceValue);
}
