#ifndef MODBUSITEMS_H
#define MODBUSITEMS_H

#include "tavrexbus1global.h"

#include <QtCore/qobject.h>
#include <QtQml/qqmllist.h>

class ModbusItemBase;

/// Groups register items in QML. The container owns what it holds; copies share the item pointers.
///
/// Available in QML as `ModbusItems` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusItems : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("DefaultProperty", "items")
    /// The items held, declared inside in QML.
    Q_PROPERTY(QQmlListProperty<QObject> items READ items NOTIFY itemsChanged)
    /// How many items are held.
    Q_PROPERTY(int count READ count NOTIFY itemsChanged)

public:
    /// An empty container.
    explicit ModbusItems(QObject *parent = nullptr);
    /// A container holding item.
    explicit ModbusItems(ModbusItemBase *item, QObject *parent = nullptr);
    /// A container sharing the item pointers of other.
    ModbusItems(const ModbusItems &other);
    /// Shares the item pointers of other.
    ModbusItems &operator=(const ModbusItems &other);

    /// Getter of the items property.
    QQmlListProperty<QObject> items();
    /// The items held.
    QList<ModbusItemBase *> itemList() const { return m_items; }
    /// Getter of the count property.
    int count() const { return int(m_items.size()); }
    /// Item index; null when out of range.
    Q_INVOKABLE ModbusItemBase *at(int index) const;
    /// Takes object over when it is an item; false with a QML warning otherwise.
    bool append(QObject *object);
    /// Drops every item held.
    void clear();

Q_SIGNALS:
    /// items and count changed.
    void itemsChanged();

private:
    static void itemsAppend(QQmlListProperty<QObject> *list, QObject *object);
    static qsizetype itemsCount(QQmlListProperty<QObject> *list);
    static QObject *itemsAt(QQmlListProperty<QObject> *list, qsizetype index);
    static void itemsClear(QQmlListProperty<QObject> *list);

    QList<ModbusItemBase *> m_items;
};

#endif
