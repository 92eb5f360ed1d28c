#include "modbusexporterimporter.h"

#include "modbusexportengine.h"
#include "modbusitembase.h"
#include "modbusitems.h"

#include <QtCore/qmetaobject.h>
#include <QtCore/qset.h>

ModbusExporterImporter::ModbusExporterImporter(QObject *parent)
    : ErrObject(parent)
{
}

ModbusExporterImporter::~ModbusExporterImporter() = default;

QString ModbusExporterImporter::getModbusClassName(const QObject *object)
{
    const QMetaObject *meta = object->metaObject();
    while (meta->superClass()) {
        const QString name = QString::fromLatin1(meta->className());
        if (!name.contains(QLatin1String("_QMLTYPE_")) && !name.contains(QLatin1String("_QML_")))
            return name;
        meta = meta->superClass();
    }
    return QString::fromLatin1(meta->className());
}

QList<QPair<QString, QString>> ModbusExporterImporter::exportProperties(const ModbusItemBase *item)
{
    QList<const QMetaObject *> chain;
    for (const QMetaObject *meta = item->metaObject(); meta; meta = meta->superClass())
        chain.prepend(meta);
    QList<QPair<QString, QString>> props;
    for (const QMetaObject *meta : chain) {
        for (int i = meta->classInfoOffset(); i < meta->classInfoCount(); ++i) {
            const QMetaClassInfo info = meta->classInfo(i);
            if (qstrcmp(info.name(), "ExportProp") != 0)
                continue;
            const QString name = QString::fromLatin1(info.value());
            if (item->metaObject()->indexOfProperty(info.value()) < 0
                || std::any_of(props.cbegin(), props.cend(), [&name](const auto &p) { return p.first == name; })) {
                continue;
            }
            props.append({ name, item->property(info.value()).toString() });
        }
    }
    return props;
}

ModbusExportData ModbusExporterImporter::describe(const ModbusItemBase *item, bool withValue)
{
    ModbusExportData data;
    data.type = getModbusClassName(item);
    for (const auto &prop : exportProperties(item))
        data.props.insert(prop.first, prop.second);
    if (withValue) {
        const QMetaObject *meta = item->metaObject();
        const int index = meta->indexOfProperty("value");
        data.value = index >= 0 ? meta->property(index).read(item).toString() : item->formatValue();
    }
    return data;
}

QString ModbusExporterImporter::exportValuesText(const ModbusItemBase *item)
{
    QStringList values;
    for (const auto &prop : exportProperties(item))
        values << prop.second;
    return values.join(QLatin1Char(' '));
}

QString ModbusExporterImporter::itemText(const ModbusItemBase *item)
{
    return QStringLiteral("%1 (%2)").arg(getModbusClassName(item), exportValuesText(item));
}

QList<ModbusItemBase *> ModbusExporterImporter::filterItems(const QList<ModbusItemBase *> &items, bool skipReadOnly)
{
    QList<ModbusItemBase *> selected;
    QSet<ModbusItemBase *> seen;
    for (ModbusItemBase *item : items) {
        if (!item)
            continue;
        // Views are saved through the item that talks to the device; a chain never loops back.
        for (int hops = 0; item->source() && hops < 1024; ++hops)
            item = item->source();
        if ((skipReadOnly && item->readOnly()) || seen.contains(item))
            continue;
        seen.insert(item);
        selected << item;
    }
    return selected;
}

QList<ModbusItemBase *> ModbusExporterImporter::toItemList(const QVariantList &list)
{
    QList<ModbusItemBase *> items;
    for (const QVariant &value : list) {
        QObject *object = value.value<QObject *>();
        if (auto *item = qobject_cast<ModbusItemBase *>(object))
            items << item;
        else if (auto *container = qobject_cast<ModbusItems *>(object))
            items << container->itemList();
    }
    return items;
}

QList<ModbusItemBase *> ModbusExporterImporter::selectedItems(const QVariantList &items) const
{
    return filterItems(toItemList(items), m_skipReadOnlyItems);
}

QVariantList ModbusExporterImporter::filterVariantItems(const QVariantList &items) const
{
    QVariantList list;
    for (ModbusItemBase *item : selectedItems(items))
        list << QVariant::fromValue(item);
    return list;
}

QStringList ModbusExporterImporter::getGroups()
{
    return m_engine ? m_engine->getGroups() : QStringList();
}

void ModbusExporterImporter::clear()
{
    if (m_engine)
        m_engine->clear();
    if (!m_groupPath.isEmpty()) {
        m_groupPath.clear();
        emit groupPathChanged(m_groupPath);
    }
}

void ModbusExporterImporter::setItems(const QVariantList &items)
{
    if (m_items == items)
        return;
    m_items = items;
    emit itemsChanged(items);
}

void ModbusExporterImporter::setSkipReadOnlyItems(bool skip)
{
    if (m_skipReadOnlyItems == skip)
        return;
    m_skipReadOnlyItems = skip;
    emit skipReadOnlyItemsChanged(skip);
}

void ModbusExporterImporter::setModbusRetries(int retries)
{
    if (m_modbusRetries == retries)
        return;
    m_modbusRetries = retries;
    emit modbusRetriesChanged(retries);
}

void ModbusExporterImporter::setEngine(ModbusExportEngine *engine)
{
    m_engine = engine;
    engine->setParent(this);
    connect(engine, &ErrObject::error, this, &ModbusExporterImporter::setErrorString);
}

void ModbusExporterImporter::addProcessed(int count)
{
    if (count == 0)
        return;
    m_processed += count;
    emit processedChanged(m_processed);
}

void ModbusExporterImporter::enterGroup(const QString &name)
{
    m_groupPath << name;
    emit groupEntered(name);
    emit groupPathChanged(m_groupPath);
}

void ModbusExporterImporter::leaveGroup()
{
    if (m_groupPath.isEmpty())
        return;
    m_groupPath.removeLast();
    emit groupLeft();
    emit groupPathChanged(m_groupPath);
}

bool ModbusExporterImporter::isPending(const ModbusItemBase *item) const
{
    return m_pending.contains(const_cast<ModbusItemBase *>(item));
}

void ModbusExporterImporter::startPending(const QList<ModbusItemBase *> &items)
{
    for (ModbusItemBase *item : items) {
        m_pending.insert(item, 0);
        connectDone(item);
        connect(item, &ErrObject::error, this, &ModbusExporterImporter::onItemError);
        // An item destroyed mid-run gives up quietly, so that finished() still comes.
        connect(item, &QObject::destroyed, this, [this, item] {
            removePending(item);
            if (m_pending.isEmpty())
                emit finished();
        });
    }
    for (ModbusItemBase *item : items) {
        if (isPending(item))
            startOperation(item);
    }
}

void ModbusExporterImporter::startOperation(ModbusItemBase *item)
{
    const quint64 errors = item->errorCount();
    // An item that refuses at once without a report would otherwise keep the run open forever.
    if (!startDeviceOperation(item) && item->errorCount() == errors && isPending(item))
        failPending(item, item->errorString().isEmpty() ? tr("not connected to a client") : item->errorString());
}

void ModbusExporterImporter::onItemError(const QString &message)
{
    auto *item = qobject_cast<ModbusItemBase *>(sender());
    // clearError() signals an empty message: that is no failure.
    if (!item || message.isEmpty() || !isPending(item))
        return;
    failPending(item, message);
}

void ModbusExporterImporter::failPending(ModbusItemBase *item, const QString &message)
{
    const auto pending = m_pending.find(item);
    if (pending != m_pending.end() && ++*pending <= m_modbusRetries) {
        startOperation(item);
        return;
    }
    setErrorString(failureText(item, message));
    removePending(item);
    if (m_pending.isEmpty())
        emit finished();
}

void ModbusExporterImporter::pendingDone(ModbusItemBase *item)
{
    if (!item || !isPending(item))
        return;
    itemDone(item);
    removePending(item);
    addProcessed(1);
    if (m_pending.isEmpty())
        emit finished();
}

void ModbusExporterImporter::removePending(ModbusItemBase *item)
{
    m_pending.remove(item);
    disconnect(item, nullptr, this, nullptr);
}

void ModbusExporterImporter::clearPending()
{
    const QList<ModbusItemBase *> pending = m_pending.keys();
    for (ModbusItemBase *item : pending)
        removePending(item);
}
