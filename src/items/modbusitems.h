#ifndef MODBUSITEMS_H
#define MODBUSITEMS_H

#include "tavrexbus1global.h"

#include <QtCore/qobject.h>
#include <QtQml/qqmllist.h>

class ModbusItemBase;

// Groups register items in QML. The container owns what it holds; copies share the item pointers.
class TAVREXBUS1_EXPORT ModbusItems : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("DefaultProperty", "items")
    Q_PROPERTY(QQmlListProperty<QObject> items READ items NOTIFY itemsChanged)
    Q_PROPERTY(int count READ count NOTIFY itemsChanged)

public:
    explicit ModbusItems(QObject *parent = nullptr);
    explicit ModbusItems(ModbusItemBase *item, QObject *parent = nullptr);
    ModbusItems(const ModbusItems &other);
    ModbusItems &operator=(const ModbusItems &other);

    QQmlListProperty<QObject> items();
    QList<ModbusItemBase *> itemList() const { return m_items; }
    int count() const { return int(m_items.size()); }
    Q_INVOKABLE ModbusItemBase *at(int index) const;
    bool append(QObject *object);
    void clear();

Q_SIGNALS:
    void itemsChanged();

private:
    static void itemsAppend(QQmlListProperty<QObject> *list, QObject *object);
    static qsizetype itemsCount(QQmlListProperty<QObject> *list);
    static QObject *itemsAt(QQmlListProperty<QObject> *list, qsizetype index);
    static void itemsClear(QQmlListProperty<QObject> *list);

    QList<ModbusItemBase *> m_items;
};

#endif
