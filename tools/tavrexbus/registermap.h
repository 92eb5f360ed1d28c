#ifndef REGISTERMAP_H
#define REGISTERMAP_H

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>

class ModbusItemBase;

// The registers of a JSON register map (the simulator's format: "registers" entries with address,
// type, count and length) as register items, one per value.
class RegisterMap
{
public:
    bool load(const QString &fileName, QString &error);
    const QList<ModbusItemBase *> &items() const { return m_items; }
    // "400001 uint16": how the command names an item.
    QString describe(const ModbusItemBase *item) const;

private:
    bool add(const QString &type, quint32 address, int length, QString &error);

    QObject m_owner;
    QList<ModbusItemBase *> m_items;
    QHash<const ModbusItemBase *, QString> m_types;
};

#endif
