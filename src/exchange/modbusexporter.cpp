#include "modbusexporter.h"

#include "modbusexportengine.h"
#include "modbusitembase.h"

ModbusExporter::ModbusExporter(QObject *parent)
    : ModbusExporterImporter(parent)
{
}

void ModbusExporter::componentComplete()
{
    ModbusExporterImporter::componentComplete();
    if (!items().isEmpty())
        exportItems(items());
}

bool ModbusExporter::exportItem(ModbusItemBase *item)
{
    return item && engine() && engine()->exportItem(describe(item, true));
}

void ModbusExporter::exportItems(const QVariantList &items)
{
    exportItemList(toItemList(items));
}

void ModbusExporter::exportItemList(const QList<ModbusItemBase *> &list)
{
    clearPending();
    const QList<ModbusItemBase *> items = filterItems(list, skipReadOnlyItems());
    if (m_waitForRead && m_readOnExport && !items.isEmpty()) {
        startPending(items);
        return;
    }
    if (m_readOnExport) {
        for (ModbusItemBase *item : items)
            item->read();
    }
    int exported = 0;
    for (ModbusItemBase *item : items)
        exported += exportItem(item) ? 1 : 0;
    addProcessed(exported);
    emit finished();
}

bool ModbusExporter::exportProperty(const QString &name, const QString &value)
{
    return engine() && engine()->exportProperty(name, value);
}

void ModbusExporter::clearInternal()
{
    clearPending();
}

void ModbusExporter::setWaitForRead(bool wait)
{
    if (m_waitForRead == wait)
        return;
    m_waitForRead = wait;
    emit waitForReadChanged(wait);
}

void ModbusExporter::setReadOnExport(bool read)
{
    if (m_readOnExport == read)
        return;
    m_readOnExport = read;
    emit readOnExportChanged(read);
}

void ModbusExporter::beginGroup(const QString &name)
{
    if (engine() && engine()->beginExportGroup(name))
        enterGroup(name);
}

void ModbusExporter::endGroup()
{
    if (engine() && engine()->endExportGroup())
        leaveGroup();
}

bool ModbusExporter::save()
{
    return engine() && engine()->save();
}

void ModbusExporter::connectDone(ModbusItemBase *item)
{
    connect(item, &ModbusItemBase::afterRead, this, &ModbusExporter::onItemAfterRead);
}

bool ModbusExporter::startDeviceOperation(ModbusItemBase *item)
{
    return item->read();
}

QString ModbusExporter::failureText(const ModbusItemBase *item, const QString &message) const
{
    return tr("can't read %1 (%2): %3").arg(getModbusClassName(item), exportValuesText(item), message);
}

void ModbusExporter::itemDone(ModbusItemBase *item)
{
    exportItem(item);
}

void ModbusExporter::onItemAfterRead()
{
    pendingDone(qobject_cast<ModbusItemBase *>(sender()));
}
