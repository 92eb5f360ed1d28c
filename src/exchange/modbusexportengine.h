#ifndef MODBUSEXPORTENGINE_H
#define MODBUSEXPORTENGINE_H

#include "errobject.h"
#include "modbusexportdata.h"

#include <QtCore/qlist.h>
#include <QtCore/qstringlist.h>

class ModbusItemBase;

/// The storage behind an exporter or importer: groups, named properties and item values.
/// Failures are reported through the error signal, which the owner relays.
///
/// Registered in QML as the uncreatable type `ModbusExportEngine` (`import TavrexBus 1.0`), so that QML sees
/// its signals.
class TAVREXBUS1_EXPORT ModbusExportEngine : public ErrObject
{
    Q_OBJECT

public:
    /// An engine with nothing stored; the exporter or importer that takes it becomes its parent.
    explicit ModbusExportEngine(QObject *parent = nullptr);

    /// Opens a group under the current one and makes it current.
    virtual bool beginExportGroup(const QString &name) = 0;
    /// Makes the current group's parent current.
    virtual bool endExportGroup() = 0;
    /// Stores a free named value in the current group.
    virtual bool exportProperty(const QString &name, const QString &value) = 0;
    /// Stores one item's value in the current group.
    virtual bool exportItem(const ModbusExportData &data) = 0;
    /// Writes what was exported to its destination.
    virtual bool save() = 0;
    /// Makes the first group of this name in the current group current; false when there is none.
    virtual bool beginImportGroup(const QString &name) = 0;
    /// Makes the current group's parent current.
    virtual bool endImportGroup() = 0;
    /// The value of the named property of the current group; false when absent or unreadable.
    virtual bool importProperty(const QString &name, QString &value) = 0;
    /// Pairs the stored items of the current group with the described items (descriptions[i] describes
    /// items[i]) and emits itemImportValue() for each pair. False, with nothing emitted, when the
    /// storage cannot be read.
    virtual bool importItems(const QList<ModbusExportData> &descriptions, const QList<ModbusItemBase *> &items) = 0;
    /// Names of the groups in the current group, in stored order.
    virtual QStringList getGroups() = 0;
    /// Forgets everything exported or loaded.
    virtual void clear() = 0;
    /// Where the value of the last itemImportValue() comes from ("file:line"), for messages.
    virtual QString importLocation() const { return QString(); }

Q_SIGNALS:
    /// A stored value was found for item.
    void itemImportValue(ModbusItemBase *item, const QString &value);
};

#endif
