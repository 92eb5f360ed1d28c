#include "modbusimporter.h"

#include "modbusexportengine.h"
#include "modbusitembase.h"

#include <QtCore/qmetaobject.h>
#include <QtCore/qset.h>

ModbusImporter::ModbusImporter(QObject *parent)
    : ModbusExporterImporter(parent)
{
}

bool ModbusImporter::importItems(const QVariantList &items)
{
    return importItemList(toItemList(items));
}

bool ModbusImporter::importItemList(const QList<ModbusItemBase *> &list)
{
    clearPending();
    m_staged.clear();
    if (!engine())
        return false;
    const QList<ModbusItemBase *> items = filterItems(list, skipReadOnlyItems());
    QList<ModbusExportData> descriptions;
    for (ModbusItemBase *item : items)
        descriptions << describe(item, false);
    if (!engine()->importItems(descriptions, items))
        return false;

    QStringList problems;
    for (const Staged &staged : std::as_const(m_staged)) {
        const QString problem = checkValue(staged);
        if (!problem.isEmpty())
            problems << problem;
    }
    if (!problems.isEmpty()) {
        m_staged.clear();
        setErrorString(problems.join(QLatin1Char('\n')));
        return false;
    }

    QList<ModbusItemBase *> imported;
    QSet<ModbusItemBase *> importedSet;
    for (const Staged &staged : std::as_const(m_staged)) {
        applyValue(staged.item, staged.value);
        imported << staged.item;
        importedSet.insert(staged.item);
    }
    m_staged.clear();
    QStringList missing;
    for (ModbusItemBase *item : items) {
        if (!importedSet.contains(item))
            missing << itemText(item);
    }
    // A file of another layout loads what matches; the rest is told, not fatal.
    if (!missing.isEmpty())
        setErrorString(tr("no value found for %n item(s): %1", nullptr, int(missing.size()))
                               .arg(missing.join(QStringLiteral(", "))));

    if (m_writeOnImport && !imported.isEmpty()) {
        startPending(imported);
    } else {
        addProcessed(int(imported.size()));
        emit finished();
    }
    return true;
}

QString ModbusImporter::checkValue(const Staged &staged) const
{
    const QMetaObject *meta = staged.item->metaObject();
    const int index = meta->indexOfProperty("value");
    if (index < 0)
        return QString();
    const QMetaType type = meta->property(index).metaType();
    if (type.id() == QMetaType::QString || type.id() == QMetaType::QVariant)
        return QString();
    QVariant value(staged.value);
    if (value.convert(type))
        return QString();
    const QString shown = staged.value.size() > 40 ? staged.value.left(40) + QStringLiteral("...") : staged.value;
    return tr("%1: \"%2\" is not a value of %3").arg(staged.location, shown, itemText(staged.item));
}

void ModbusImporter::applyValue(ModbusItemBase *item, const QString &value)
{
    const QMetaObject *meta = item->metaObject();
    const int index = meta->indexOfProperty("value");
    if (index >= 0)
        meta->property(index).write(item, QVariant(value));
    else
        item->setFormatValue(value);
}

void ModbusImporter::setEngine(ModbusExportEngine *engine)
{
    ModbusExporterImporter::setEngine(engine);
    connect(engine, &ModbusExportEngine::itemImportValue, this, &ModbusImporter::onItemImportValue);
}

QString ModbusImporter::importProperty(const QString &name)
{
    QString value;
    if (engine() && engine()->importProperty(name, value))
        return value;
    return QString();
}

void ModbusImporter::clearInternal()
{
    clearPending();
    m_staged.clear();
}

void ModbusImporter::setWriteOnImport(bool write)
{
    if (m_writeOnImport == write)
        return;
    m_writeOnImport = write;
    emit writeOnImportChanged(write);
}

bool ModbusImporter::beginGroup(const QString &name)
{
    if (!engine() || !engine()->beginImportGroup(name))
        return false;
    enterGroup(name);
    return true;
}

void ModbusImporter::endGroup()
{
    if (engine() && engine()->endImportGroup())
        leaveGroup();
}

void ModbusImporter::connectDone(ModbusItemBase *item)
{
    connect(item, &ModbusItemBase::afterWrite, this, &ModbusImporter::onItemAfterWrite);
}

bool ModbusImporter::startDeviceOperation(ModbusItemBase *item)
{
    return item->write();
}

QString ModbusImporter::failureText(const ModbusItemBase *item, const QString &message) const
{
    return tr("can't write %1 (%2): %3").arg(getModbusClassName(item), exportValuesText(item), message);
}

void ModbusImporter::onItemImportValue(ModbusItemBase *item, const QString &value)
{
    m_staged.append({ item, value, engine() ? engine()->importLocation() : QString() });
}

void ModbusImporter::onItemAfterWrite()
{
    pendingDone(qobject_cast<ModbusItemBase *>(sender()));
}
