#include "modbusclient.h"

#include "modbusitembase.h"
#include "modbustask.h"

namespace {

QHash<QString, bool> groupSet(const QStringList &groups)
{
    QHash<QString, bool> set;
    for (const QString &group : groups)
        set.insert(group, true);
    return set;
}

} // namespace

ModbusClient::ModbusClient(QObject *parent)
    : ErrObject(parent)
{
    // Items and tasks cross between the client's thread and its executor's in queued calls.
    qRegisterMetaType<ModbusItemBase *>("ModbusItemBase *");
    qRegisterMetaType<QList<ItemPointer>>("QList<ItemPointer >");
    qRegisterMetaType<ModbusTask *>("ModbusTask*");
}

ModbusClient::~ModbusClient() = default;

void ModbusClient::setDeviceAddress(int address)
{
    if (address < 0 || address > 255 || address == m_deviceAddress)
        return;
    m_deviceAddress = quint8(address);
    emit deviceAddressChanged();
}

void ModbusClient::setConnected(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    emit connectedChanged();
}

// Without an executor a task has nowhere to run; it is dropped as a disabled client drops it.
void ModbusClient::executeTask(ModbusTask *task)
{
    delete task;
}

bool ModbusClient::executeTaskSync(ModbusTask *task)
{
    executeTaskSyncSilent(task);
    ModbusItemBase *item = task->firstItem();
    if (item)
        item->taskCompleted(task);
    emit executed(item);
    const bool done = task->state() == TavrexBus::TaskDone;
    delete task;
    return done;
}

void ModbusClient::executeTaskSyncSilent(ModbusTask *task)
{
    task->setState(TavrexBus::TaskFailed);
    task->setErrorString(tr("modbus client has no executor"));
}

void ModbusClient::startExecutingIntervalTask(ModbusTask *task)
{
    delete task;
}

void ModbusClient::stopExecutingIntervalTask(ModbusItemBase *item)
{
    Q_UNUSED(item);
}

void ModbusClient::registerItem(ModbusItemBase *item)
{
    Q_UNUSED(item);
}

void ModbusClient::unRegisterItem(ModbusItemBase *item)
{
    Q_UNUSED(item);
}

void ModbusClient::readAll()
{
    readAll(QString());
}

void ModbusClient::readAll(const QString &exceptGroup)
{
    emit readingAll(groupSet({exceptGroup}));
}

void ModbusClient::readAll(const QStringList &exceptGroups)
{
    emit readingAll(groupSet(exceptGroups));
}

void ModbusClient::readGroups(const QString &group)
{
    emit readingGroups(groupSet({group}));
}

void ModbusClient::readGroups(const QStringList &groups)
{
    emit readingGroups(groupSet(groups));
}

QList<ModbusItemBase *> ModbusClient::getItems(const QStringList &groups)
{
    QList<ModbusItemBase *> items;
    emit collectItems(items, groups);
    return items;
}

int ModbusClient::countItems(const QStringList &groups)
{
    int result = 0;
    emit countItems(result, groups);
    return result;
}

QVariantList ModbusClient::getVariantItems(const QStringList &groups)
{
    QVariantList result;
    for (ModbusItemBase *item : getItems(groups))
        result.append(QVariant::fromValue<QObject *>(item));
    return result;
}

QVariantList ModbusClient::getVariantItems()
{
    return getVariantItems(QStringList());
}

QString ModbusClient::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("ModbusClient\n"), oneLine);
}
