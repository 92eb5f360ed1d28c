#include "modbusitemreader.h"

#include "objectwatch_p.h"
#include "modbusitembase.h"

ModbusItemReader::ModbusItemReader(QObject *parent)
    : QObject(parent)
{
}

ModbusItemReader::~ModbusItemReader()
{
    setItem(nullptr);
}

bool ModbusItemReader::holding() const
{
    return m_item && m_active && !initializing();
}

void ModbusItemReader::setItem(ModbusItemBase *item)
{
    if (item == m_item)
        return;
    if (m_item && holding())
        m_item->endReading();
    rewatch(this, m_item, item, &ModbusItemReader::onItemDestroyed);
    if (item && holding())
        item->beginReading();
    emit itemChanged(item);
}

void ModbusItemReader::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    if (m_item && !initializing()) {
        if (active)
            m_item->beginReading();
        else
            m_item->endReading();
    }
    emit activeChanged(active);
}

void ModbusItemReader::componentComplete()
{
    MyDeclarativeParserStatus::componentComplete();
    if (holding())
        m_item->beginReading();
}

void ModbusItemReader::onItemDestroyed()
{
    m_item = nullptr;
    emit itemChanged(nullptr);
}
