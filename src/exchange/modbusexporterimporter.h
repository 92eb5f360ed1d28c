#ifndef MODBUSEXPORTERIMPORTER_H
#define MODBUSEXPORTERIMPORTER_H

#include "errobject.h"
#include "modbusexportdata.h"
#include "mydeclarativeparserstatus.h"

#include <QtCore/qhash.h>
#include <QtCore/qlist.h>
#include <QtCore/qpair.h>
#include <QtCore/qstringlist.h>
#include <QtCore/qvariant.h>

class ModbusExportEngine;
class ModbusItemBase;

/// The common part of ModbusExporter and ModbusImporter: the items given from QML, the open groups,
/// the progress count and the storage engine they talk to.
///
/// Registered in QML as the uncreatable type `ModbusExporterImporter` (`import TavrexBus 1.0`), so that QML sees
/// its properties.
class TAVREXBUS1_EXPORT ModbusExporterImporter : public ErrObject, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    /// Items exported or imported so far.
    Q_PROPERTY(int processed READ processed NOTIFY processedChanged)
    /// The open groups, outermost first.
    Q_PROPERTY(QStringList groupPath READ groupPath NOTIFY groupPathChanged)
    /// The items to work on: register items or ModbusItems containers.
    Q_PROPERTY(QVariantList items READ items WRITE setItems NOTIFY itemsChanged)
    /// Leave read-only items out (default true).
    Q_PROPERTY(bool skipReadOnlyItems READ skipReadOnlyItems WRITE setSkipReadOnlyItems NOTIFY skipReadOnlyItemsChanged)
    /// How often a failed device read or write of one item is retried (default 2).
    Q_PROPERTY(int modbusRetries READ modbusRetries WRITE setModbusRetries NOTIFY modbusRetriesChanged)

public:
    /// An exporter or importer with no items and no engine yet.
    explicit ModbusExporterImporter(QObject *parent = nullptr);
    ~ModbusExporterImporter() override;

    /// Getter of the processed property.
    int processed() const { return m_processed; }
    /// Getter of the groupPath property.
    QStringList groupPath() const { return m_groupPath; }
    /// Getter of the items property.
    QVariantList items() const { return m_items; }
    /// Getter of the skipReadOnlyItems property.
    bool skipReadOnlyItems() const { return m_skipReadOnlyItems; }
    /// Getter of the modbusRetries property.
    int modbusRetries() const { return m_modbusRetries; }
    /// The storage engine; owned.
    ModbusExportEngine *engine() const { return m_engine; }

    /// The name a file knows an item's class by: QML's derived types give way to the library class.
    static QString getModbusClassName(const QObject *object);
    /// The item's export properties with their values, base class first, in declaration order.
    static QList<QPair<QString, QString>> exportProperties(const ModbusItemBase *item);
    /// Class name and export properties of an item, and its value text when withValue is set.
    static ModbusExportData describe(const ModbusItemBase *item, bool withValue);
    /// The export property values joined by one blank ("1 400001").
    static QString exportValuesText(const ModbusItemBase *item);
    /// "ModbusUInt16 (1 400001)": the item as messages name it.
    static QString itemText(const ModbusItemBase *item);
    /// The items that talk to the device for the given ones: each view replaced by its source,
    /// read-only items left out when skipReadOnly is set, duplicates removed.
    static QList<ModbusItemBase *> filterItems(const QList<ModbusItemBase *> &items, bool skipReadOnly);
    /// The register items in a QML list; ModbusItems containers give their items.
    static QList<ModbusItemBase *> toItemList(const QVariantList &list);

    /// filterItems() for a QML list, with this object's skipReadOnlyItems.
    Q_INVOKABLE QVariantList filterVariantItems(const QVariantList &items) const;
    /// Names of the groups in the current group.
    Q_INVOKABLE QStringList getGroups();

public Q_SLOTS:
    /// Drops the engine's document.
    void clear();
    /// Setter of the items property.
    void setItems(const QVariantList &items);
    /// Setter of the skipReadOnlyItems property.
    void setSkipReadOnlyItems(bool skip);
    /// Setter of the modbusRetries property.
    void setModbusRetries(int retries);

Q_SIGNALS:
    /// processed changed; the new value is passed.
    void processedChanged(int processed);
    /// groupPath changed; the new value is passed.
    void groupPathChanged(const QStringList &groupPath);
    /// items changed; the new value is passed.
    void itemsChanged(const QVariantList &items);
    /// skipReadOnlyItems changed; the new value is passed.
    void skipReadOnlyItemsChanged(bool skip);
    /// modbusRetries changed; the new value is passed.
    void modbusRetriesChanged(int retries);
    /// A run is over: every item was done or gave up.
    void finished();
    /// group was opened (exporting) or entered (importing) and is now the current group.
    void groupEntered(const QString &group);
    /// The current group was closed; its parent is current again.
    void groupLeft();

protected:
    /// Takes ownership of the engine and relays its errors.
    void setEngine(ModbusExportEngine *engine);
    void addProcessed(int count);
    void enterGroup(const QString &name);
    void leaveGroup();
    QList<ModbusItemBase *> selectedItems(const QVariantList &items) const;

    /// Starts the device operation of every item and follows it until done or given up.
    void startPending(const QList<ModbusItemBase *> &items);
    /// A pending item's operation succeeded: counts it and emits finished() after the last one.
    void pendingDone(ModbusItemBase *item);
    /// Forgets the pending items without finishing the run.
    void clearPending();
    bool isPending(const ModbusItemBase *item) const;
    int pendingCount() const { return int(m_pending.size()); }

    /// Connects the item's success signal to the subclass's slot.
    virtual void connectDone(ModbusItemBase *item) = 0;
    /// Starts the item's read or write.
    virtual bool startDeviceOperation(ModbusItemBase *item) = 0;
    /// The message for an item that failed all retries.
    virtual QString failureText(const ModbusItemBase *item, const QString &message) const = 0;
    /// A pending item succeeded, before it is counted.
    virtual void itemDone(ModbusItemBase *item) { Q_UNUSED(item); }

protected Q_SLOTS:
    /// A pending item failed: retried up to modbusRetries times, then reported.
    void onItemError(const QString &message);

private:
    void startOperation(ModbusItemBase *item);
    void failPending(ModbusItemBase *item, const QString &message);
    void removePending(ModbusItemBase *item);

    // Items waiting for their device read or write, with the failures of each so far.
    QHash<ModbusItemBase *, int> m_pending;
    int m_processed = 0;
    QStringList m_groupPath;
    QVariantList m_items;
    bool m_skipReadOnlyItems = true;
    int m_modbusRetries = 2;
    ModbusExportEngine *m_engine = nullptr;
};

#endif
