#include "modbusitemreader.h"

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
    if (m_item) {
        if (holding())
            m_item->endReading();
        disconnect(m_item, nullptr, this, nullptr);
    }
    m_item = item;
    if (item) {
        connect(item, &QObject::destroyed, this, &ModbusItemReader::onItemDestroyed);
        if (holding())
            item->beginReading();
    }
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
