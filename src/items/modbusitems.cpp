#include "modbusitems.h"

#include "modbusitembase.h"

#include <QtQml/qqmlinfo.h>

ModbusItems::ModbusItems(QObject *parent)
    : QObject(parent)
{
}

ModbusItems::ModbusItems(ModbusItemBase *item, QObject *parent)
    : QObject(parent)
{
    if (item)
        m_items.append(item);
}

ModbusItems::ModbusItems(const ModbusItems &other)
    : QObject(other.parent()),
      m_items(other.m_items)
{
}

ModbusItems &ModbusItems::operator=(const ModbusItems &other)
{
    m_items = other.m_items;
    return *this;
}

QQmlListProperty<QObject> ModbusItems::items()
{
    return QQmlListProperty<QObject>(this, nullptr, &ModbusItems::itemsAppend, &ModbusItems::itemsCount,
                                     &ModbusItems::itemsAt, &ModbusItems::itemsClear);
}

ModbusItemBase *ModbusItems::at(int index) const
{
    return m_items.value(index);
}

// Anything but an item is refused with a message in the QML log, and left to its own parent.
bool ModbusItems::append(QObject *object)
{
    auto *item = qobject_cast<ModbusItemBase *>(object);
    if (!item) {
        qmlWarning(this) << tr("modbusItems.items: you can add only objects of 'ModbusItemBase' type");
        return false;
    }
    item->setParent(this);
    m_items.append(item);
    connect(item, &QObject::destroyed, this, [this, item] {
        if (m_items.removeAll(item))
            emit itemsChanged();
    });
    emit itemsChanged();
    return true;
}

void ModbusItems::clear()
{
    const QList<ModbusItemBase *> items = std::exchange(m_items, {});
    qDeleteAll(items);
}

void ModbusItems::itemsAppend(QQmlListProperty<QObject> *list, QObject *object)
{
    static_cast<ModbusItems *>(list->object)->append(object);
}

qsizetype ModbusItems::itemsCount(QQmlListProperty<QObject> *list)
{
    return static_cast<ModbusItems *>(list->object)->m_items.size();
}

QObject *ModbusItems::itemsAt(QQmlListProperty<QObject> *list, qsizetype index)
{
    return static_cast<ModbusItems *>(list->object)->at(int(index));
}

void ModbusItems::itemsClear(QQmlListProperty<QObject> *list)
{
    static_cast<ModbusItems *>(list->object)->clear();
}
