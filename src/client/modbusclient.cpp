#include "modbusclient.h"

#include "modbusclientexecutor.h"
#include "modbusitembase.h"
#include "modbustask.h"
#include "modbustaskserver.h"
#include "modbustransport.h"
#include "threadcall_p.h"
#include "transportlifeline_p.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qcoreevent.h>
#include <QtCore/qdeadlinetimer.h>

namespace {

constexpr QEvent::Type ProcessResultsEvent = QEvent::User;
constexpr QEvent::Type NotificationsEvent = QEvent::Type(QEvent::User + 1);
constexpr int NotificationInterval = 2;

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
    qRegisterMetaType<ModbusItemBase *>("ModbusItemBase *");
    qRegisterMetaType<ModbusTransport *>("ModbusTransport *");
    qRegisterMetaType<QList<ItemPointer>>("QList<ItemPointer >");
    qRegisterMetaType<ModbusTask *>("ModbusTask*");

    m_taskServer = new ModbusTaskServer(this);
    m_taskServer->setUseOptimization(m_useOptimization);
    m_taskServer->setMaxRequestRegsCount(m_maxRegisters);
    connect(m_taskServer, &ModbusTaskServer::intervalReadingEnabledChanged, this,
            &ModbusClient::intervalReadingEnabledChanged);

    m_executor = new ModbusClientExecutor(*m_taskServer);
    m_executor->setMaxArchRecords(m_maxArchRecords);
    m_executor->moveToThread(&m_executorThread);
    m_executorThread.setObjectName(QStringLiteral("Modbus executor thread"));
    m_executorThread.start();
    m_executorThread.setPriority(QThread::LowPriority);
    connectExecutor();
}

void ModbusClient::connectExecutor()
{
    connect(m_executor, &ErrObject::error, this, &ModbusClient::setErrorString);
    connect(m_executor, &ModbusClientExecutor::taskPartialExecuted, this, &ModbusClient::taskPartialExecuted);
    connect(m_executor, &ModbusClientExecutor::executingItemsChanged, this,
            [this](const QList<ItemPointer> &items) {
                {
                    const std::lock_guard locker(m_executingLock);
                    m_executingChanges.append(items);
                }
                notify(ExecutingNotification);
            }, Qt::DirectConnection);
    connect(m_executor, &ModbusClientExecutor::queueDrained, this, &ModbusClient::flushNotifications,
            Qt::DirectConnection);
    connect(m_taskServer, &ModbusTaskServer::enabledChanged, this, &ModbusClient::enabledChanged);
    connect(m_taskServer, &ModbusTaskServer::pausedChanged, this, &ModbusClient::pausedChanged);
    connect(this, &ModbusClient::abortExecuting, m_taskServer, &ModbusTaskServer::abortTasks);
    connect(this, &ModbusClient::abortExecuting, m_executor, &ModbusClientExecutor::abortExecuting,
            Qt::DirectConnection);
    connect(this, &ModbusClient::retriesChanged, m_executor, &ModbusClientExecutor::setRetries);
    const QList<QPair<void (ModbusTaskServer::*)(), Notifications>> notifiers = {
        {&ModbusTaskServer::resultTasksCountChanged, ResultsNotification},
        {&ModbusTaskServer::queuedTasksCountChanged, QueuedCountNotification},
        {&ModbusTaskServer::intervalTasksCountChanged, IntervalCountNotification},
        {&ModbusTaskServer::executedTasksCountChanged, ExecutedCountNotification},
        {&ModbusTaskServer::errorTasksCountChanged, ErrorCountNotification},
        {&ModbusTaskServer::goodTasksCountChanged, GoodCountNotification},
    };
    for (const auto &[signal, notification] : notifiers) {
        connect(m_taskServer, signal, this, [this, notification = notification] { notify(notification); },
                Qt::DirectConnection);
    }
}

// The executor changes the counters several times per task, and waking this thread costs the
// executor more than a short exchange does. The first change after a quiet spell is posted at once;
// later ones are gathered and delivered every NotificationInterval while they keep coming.
void ModbusClient::notify(Notifications notification)
{
    if (QThread::currentThread() == thread()) {
        emitNotifications(notification);
        return;
    }
    m_pendingNotifications.fetchAndOrRelease(notification);
    if (m_notificationsArmed.testAndSetAcquire(0, 1))
        QCoreApplication::postEvent(this, new QEvent(NotificationsEvent));
}

// Gathering pays only while work keeps coming: once the executor has nothing left, a caller that
// waits for these results (a read chained to the previous answer) must not wait for the next tick.
void ModbusClient::flushNotifications()
{
    if (m_pendingNotifications.loadAcquire() != 0 && m_notificationsArmed.loadAcquire() != 0)
        QCoreApplication::postEvent(this, new QEvent(NotificationsEvent));
}

bool ModbusClient::deliverNotifications()
{
    const int notifications = m_pendingNotifications.fetchAndStoreAcquire(0);
    if (notifications != 0)
        emitNotifications(notifications);
    return notifications != 0;
}

void ModbusClient::onNotificationTimer()
{
    if (deliverNotifications())
        return;
    m_notificationTimer.stop();
    m_notificationsArmed.storeRelease(0);
    // A change that came while still armed posted nothing: take it up here.
    if (m_pendingNotifications.loadAcquire() != 0 && m_notificationsArmed.testAndSetAcquire(0, 1)) {
        deliverNotifications();
        m_notificationTimer.start(NotificationInterval, Qt::PreciseTimer, this);
    }
}

void ModbusClient::emitNotifications(int notifications)
{
    if (notifications & QueuedCountNotification)
        emit queuedTasksCountChanged();
    if (notifications & IntervalCountNotification)
        emit intervalTasksCountChanged();
    if (notifications & ExecutedCountNotification)
        emit executedTasksCountChanged();
    if (notifications & ErrorCountNotification)
        emit errorTasksCountChanged();
    if (notifications & GoodCountNotification)
        emit goodTasksCountChanged();
    // Every task starts and ends before its result is added: results taken first never get
    // ahead of the start and end of their own task.
    if (notifications & ResultsNotification)
        m_taskServer->getResults(m_results, -1);
    if (notifications & (ExecutingNotification | ResultsNotification))
        applyExecutingChanges();
    if (notifications & ResultsNotification)
        processResultTasks();
}

// Each start and end reaches the items, in order, however many came in one delivery.
void ModbusClient::applyExecutingChanges()
{
    QList<QList<ItemPointer>> changes;
    {
        const std::lock_guard locker(m_executingLock);
        changes.swap(m_executingChanges);
    }
    for (const QList<ItemPointer> &items : std::as_const(changes))
        onExecutingItemsChanged(items);
}

ModbusClient::~ModbusClient()
{
    releaseAttachedItems();
    shutDownExecutor();
    m_results.clearWithDelete();
}

// The executor may be waiting inside an exchange; it is told to stop at the next part, and a
// transport answered on this thread keeps answering, so that it can get there.
void ModbusClient::shutDownExecutor()
{
    disconnect(m_executor, nullptr, this, nullptr);
    disconnect(m_taskServer, nullptr, this, nullptr);
    disconnect(this, nullptr, m_executor, nullptr);
    QCoreApplication::removePostedEvents(this, ProcessResultsEvent);
    QCoreApplication::removePostedEvents(this, NotificationsEvent);
    m_notificationTimer.stop();
    const bool answeredHere = transportAnsweredHere();
    m_taskServer->setEnabled(false);
    m_taskServer->abortAllTasks();
    m_executor->abortExecutingAll();
    m_executor->deleteLater();
    m_executorThread.quit();
    const QDeadlineTimer deadline(ShutdownTimeout);
    while (!m_executorThread.wait(QDeadlineTimer(answeredHere ? 10 : ShutdownTimeout))) {
        if (deadline.hasExpired()) {
            m_executorThread.terminate();
            m_executorThread.wait();
            break;
        }
        if (answeredHere && m_transport)
            m_transport->serveWaitingExchanges();
    }
    // The executor is gone; taking its lock orders its last changes before their destruction in a
    // way a thread checker sees (Qt's join it cannot see).
    const std::lock_guard locker(m_executingLock);
    m_executingChanges.clear();
}

// Whether an exchange of the executor waits for this thread: it cannot take a blocking call then.
bool ModbusClient::transportAnsweredHere() const
{
    return m_transport && m_transport->answersOnThread(QThread::currentThread());
}

// ---- transport --------------------------------------------------------------------------------

ModbusTransport *ModbusClient::transport() const
{
    return m_transport;
}

void ModbusClient::setTransport(ModbusTransport *transport)
{
    if (transport == m_transport)
        return;
    const bool wait = !transportAnsweredHere();
    if (m_transport)
        disconnect(m_transport, nullptr, this, nullptr);
    m_transport = transport;
    if (transport) {
        connect(transport, &Transport::connectedChanged, this, &ModbusClient::updateConnected);
        connect(transport, &QObject::destroyed, this, &ModbusClient::onTransportDestroyed);
    }
    setExecutorTransport(transport, wait);
    updateConnected();
    emit transportChanged();
}

// This thread may destroy the transport before the executor gets to it; the executor takes it
// only if it is still there, and keeps it from going while it does.
void ModbusClient::setExecutorTransport(ModbusTransport *transport, bool wait)
{
    std::shared_ptr<TransportLifeline> lifeline = transport ? TransportLifeline::of(*transport) : nullptr;
    ModbusClientExecutor *executor = m_executor;
    const auto hand = [executor, lifeline = std::move(lifeline)] {
        const TransportLease lease(lifeline);
        executor->setTransport(static_cast<ModbusTransport *>(lease.transport()));
    };
    if (!wait) {
        postToOwnerThread(executor, hand);
        return;
    }
    QString error;
    if (!callOnOwnerThread(executor, hand, &error))
        setErrorString(error);
}

void ModbusClient::onTransportDestroyed()
{
    m_transport = nullptr;
    updateConnected();
    emit transportChanged();
}

void ModbusClient::updateConnected()
{
    setConnected(m_transport && m_transport->connected());
}

void ModbusClient::setConnected(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    emit connectedChanged();
    visitAttachedItems([](ModbusItemBase *item) { item->updateConnected(); });
}

bool ModbusClient::linkConnected() const
{
    return m_transport && m_transport->connected();
}

// ---- settings ---------------------------------------------------------------------------------

void ModbusClient::setUseOptimization(bool use)
{
    if (use == m_useOptimization)
        return;
    m_useOptimization = use;
    m_taskServer->setUseOptimization(use);
    emit useOptimizationChanged();
}

void ModbusClient::setMaxRegisters(int count)
{
    if (count == m_maxRegisters)
        return;
    m_maxRegisters = count;
    m_taskServer->setMaxRequestRegsCount(count);
    emit maxRegistersChanged();
}

void ModbusClient::setMaxArchRecords(int count)
{
    if (count < 1 || count == m_maxArchRecords)
        return;
    m_maxArchRecords = count;
    m_executor->setMaxArchRecords(count);
    emit maxArchRecordsChanged();
}

bool ModbusClient::enabled() const
{
    return m_taskServer->enabled();
}

void ModbusClient::setEnabled(bool enabled)
{
    m_taskServer->setEnabled(enabled);
}

bool ModbusClient::paused() const
{
    return m_taskServer->paused();
}

void ModbusClient::setPaused(bool paused)
{
    m_taskServer->setPaused(paused);
}

void ModbusClient::startReading()
{
    setEnabled(true);
}

void ModbusClient::stopReading()
{
    setEnabled(false);
}

bool ModbusClient::intervalReadingEnabled() const
{
    return m_taskServer->intervalReadingEnabled();
}

void ModbusClient::setIntervalReadingEnabled(bool enabled)
{
    m_taskServer->setIntervalReadingEnabled(enabled);
}

void ModbusClient::setDeviceAddress(int address)
{
    if (!acceptDeviceAddress(address, m_deviceAddress))
        return;
    emit deviceAddressChanged();
    visitAttachedItems([](ModbusItemBase *item) { item->onClientDeviceAddressChanged(); });
}

void ModbusClient::setSingleResultProcessing(bool single)
{
    if (single == m_singleResultProcessing)
        return;
    m_singleResultProcessing = single;
    emit singleResultProcessingChanged(single);
}

void ModbusClient::setRetries(int retries)
{
    if (retries < 1 || retries == m_retries)
        return;
    m_retries = retries;
    emit retriesChanged(retries);
}

quint64 ModbusClient::queuedTasksCount() const
{
    return quint64(m_taskServer->queuedTasksCount());
}

quint64 ModbusClient::intervalTasksCount() const
{
    return quint64(m_taskServer->intervalTasksCount());
}

quint64 ModbusClient::executedTasksCount() const
{
    return m_taskServer->executedTasksCount();
}

quint64 ModbusClient::errorTasksCount() const
{
    return m_taskServer->errorTasksCount();
}

quint64 ModbusClient::goodTasksCount() const
{
    return m_taskServer->goodTasksCount();
}

QString ModbusClient::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("ModbusClient\n"), oneLine);
}

// ---- items ------------------------------------------------------------------------------------

QQmlListProperty<ModbusItemBase> ModbusClient::items()
{
    return QQmlListProperty<ModbusItemBase>(this, nullptr, &ModbusClient::itemsAppend, &ModbusClient::itemsCount,
                                            &ModbusClient::itemsAt, &ModbusClient::itemsClear);
}

void ModbusClient::itemsAppend(QQmlListProperty<ModbusItemBase> *list, ModbusItemBase *item)
{
    auto *client = static_cast<ModbusClient *>(list->object);
    if (!item)
        return;
    item->setParent(client);
    client->m_items.append(item);
    connect(item, &QObject::destroyed, client, &ModbusClient::onItemDestroyed, Qt::UniqueConnection);
    emit client->itemsChanged();
    if (!item->client())
        item->setClient(client);
}

qsizetype ModbusClient::itemsCount(QQmlListProperty<ModbusItemBase> *list)
{
    return static_cast<ModbusClient *>(list->object)->m_items.size();
}

ModbusItemBase *ModbusClient::itemsAt(QQmlListProperty<ModbusItemBase> *list, qsizetype index)
{
    return static_cast<ModbusClient *>(list->object)->m_items.value(index);
}

void ModbusClient::itemsClear(QQmlListProperty<ModbusItemBase> *list)
{
    auto *client = static_cast<ModbusClient *>(list->object);
    const QList<ModbusItemBase *> items = std::exchange(client->m_items, {});
    qDeleteAll(items);
}

// Only the QObject part of the item is left by now.
void ModbusClient::onItemDestroyed(QObject *item)
{
    if (m_items.removeIf([item](ModbusItemBase *listed) { return static_cast<QObject *>(listed) == item; }))
        emit itemsChanged();
}

void ModbusClient::registerItem(ModbusItemBase *item)
{
    Q_UNUSED(item);
}

// The item's pending work would only be thrown away on delivery; drop it now. Dropping it may deliver
// what the executor has told meanwhile, and an item leaving from its destructor still looks alive to
// its pointers: no start of its work may mark it executing while it leaves, or stay queued to do so.
void ModbusClient::unRegisterItem(ModbusItemBase *item)
{
    m_leavingItems.append(item);
    m_executingItems.removeAll(item);
    m_taskServer->removeTasks(item);
    m_executor->abortExecuting(item);
    dropExecutingChanges(item);
    m_leavingItems.removeOne(item);
}

void ModbusClient::dropExecutingChanges(ModbusItemBase *item)
{
    const std::lock_guard locker(m_executingLock);
    for (QList<ItemPointer> &items : m_executingChanges)
        items.removeAll(item);
}

void ModbusClient::attachItem(ModbusItemBase *item)
{
    m_attachedItems.append(item);
}

// While the items are being visited, a leaving item only leaves a gap, so that the visit keeps
// its place; the gaps close when the outermost visit ends.
void ModbusClient::detachItem(ModbusItemBase *item)
{
    // Items usually leave in the order they came or in its reverse; both ends are found at once.
    const qsizetype last = m_attachedItems.size() - 1;
    const qsizetype index = last >= 0 && m_attachedItems.at(last) == item ? last : m_attachedItems.indexOf(item);
    if (index < 0)
        return;
    if (m_itemVisits > 0)
        m_attachedItems[index] = nullptr;
    else
        m_attachedItems.remove(index);
}

void ModbusClient::visitAttachedItems(const std::function<void(ModbusItemBase *)> &visit)
{
    ++m_itemVisits;
    const qsizetype count = m_attachedItems.size();
    for (qsizetype i = 0; i < count; ++i) {
        if (ModbusItemBase *item = m_attachedItems.at(i))
            visit(item);
    }
    if (--m_itemVisits == 0)
        m_attachedItems.removeAll(nullptr);
}

// An item may delete others from its clientChanged handler; those still attached then detach
// themselves from the list while it shrinks here.
void ModbusClient::releaseAttachedItems()
{
    m_attachedItems.removeAll(nullptr);
    while (!m_attachedItems.isEmpty())
        m_attachedItems.takeFirst()->onClientDestroyed();
}

QList<ModbusItemBase *> ModbusClient::getItems(const QStringList &groups)
{
    QList<ModbusItemBase *> items;
    emit collectItems(items, groups);
    visitAttachedItems([&](ModbusItemBase *item) { item->onCollectItems(items, groups); });
    return items;
}

int ModbusClient::countItems(const QStringList &groups)
{
    int result = 0;
    emit countItems(result, groups);
    visitAttachedItems([&](ModbusItemBase *item) { item->onCountItems(result, groups); });
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

void ModbusClient::readAll()
{
    readAll(QString());
}

void ModbusClient::readAll(const QString &exceptGroup)
{
    readAll(QStringList{exceptGroup});
}

void ModbusClient::readAll(const QStringList &exceptGroups)
{
    const QHash<QString, bool> set = groupSet(exceptGroups);
    emit readingAll(set);
    visitAttachedItems([&](ModbusItemBase *item) { item->onReadingAll(set); });
}

void ModbusClient::readGroups(const QString &group)
{
    readGroups(QStringList{group});
}

void ModbusClient::readGroups(const QStringList &groups)
{
    const QHash<QString, bool> set = groupSet(groups);
    emit readingGroups(set);
    visitAttachedItems([&](ModbusItemBase *item) { item->onReadingGroups(set); });
}

// ---- queueing ---------------------------------------------------------------------------------

void ModbusClient::executeTask(ModbusTask *task)
{
    m_taskServer->addQueuedTask(task);
}

void ModbusClient::startExecutingIntervalTask(ModbusTask *task)
{
    m_taskServer->addIntervalTask(task);
}

void ModbusClient::stopExecutingIntervalTask(ModbusItemBase *item)
{
    m_taskServer->removeIntervalTasks(item);
}

void ModbusClient::abortExecutingAll()
{
    m_taskServer->abortAllTasks();
    m_executor->abortExecutingAll();
}

void ModbusClient::wakeUpExecutor()
{
    m_executor->requestWakeUp();
}

// ---- synchronous execution --------------------------------------------------------------------

void ModbusClient::executeTaskSyncSilent(ModbusTask *task)
{
    ModbusClientExecutor *executor = m_executor;
    forever {
        if (!enabled() || paused()) {
            task->setState(TavrexBus::TaskFailed);
            task->setErrorString(tr("modbus client is disabled or paused"));
            return;
        }
        // The executor would wait for an answer that only this blocked thread can give.
        if (transportAnsweredHere()) {
            task->setState(TavrexBus::TaskFailed);
            task->setErrorString(tr("synchronous execution is not possible: the link is answered on the "
                                    "calling thread"));
            return;
        }
        QString error;
        if (!callOnOwnerThread(executor, [executor, task] { executor->executeTask(task); }, &error)) {
            task->setState(TavrexBus::TaskFailed);
            task->setErrorString(error);
            return;
        }
        if (!task->force() || task->state() == TavrexBus::TaskDone || !linkConnected())
            return;
        task->reset();
    }
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

// ---- results ----------------------------------------------------------------------------------

void ModbusClient::onResultTasksChanged()
{
    m_taskServer->getResults(m_results, -1);
    processResultTasks();
}

void ModbusClient::processResultTasks()
{
    while (!m_results.isEmpty()) {
        ModbusTask *task = m_results.takeFirst();
        ModbusItemBase *item = task->firstItem();
        if (!item) {
            delete task;
            continue;
        }
        // A forced request is repeated until it succeeds, as long as there is a link to repeat it on.
        if (task->force() && task->interval() == 0 && task->state() != TavrexBus::TaskDone && linkConnected()) {
            task->reset();
            executeTask(task);
            continue;
        }
        item->taskCompleted(task);
        if (task->interval() == 0 || intervalReadingEnabled())
            emit executed(item);
        delete task;
        if (m_singleResultProcessing && !m_results.isEmpty()) {
            QCoreApplication::postEvent(this, new QEvent(ProcessResultsEvent));
            return;
        }
    }
}

void ModbusClient::customEvent(QEvent *event)
{
    if (event->type() == NotificationsEvent) {
        deliverNotifications();
        m_notificationTimer.start(NotificationInterval, Qt::PreciseTimer, this);
    } else if (event->type() == ProcessResultsEvent) {
        QCoreApplication::removePostedEvents(this, ProcessResultsEvent);
        processResultTasks();
    } else {
        ErrObject::customEvent(event);
    }
}

void ModbusClient::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_notificationTimer.timerId())
        onNotificationTimer();
    else
        ErrObject::timerEvent(event);
}

void ModbusClient::onExecutingItemsChanged(const QList<ItemPointer> &items)
{
    QList<ModbusItemBase *> running;
    for (const ItemPointer &item : items) {
        if (item && !m_leavingItems.contains(item.data()))
            running.append(item.data());
    }
    const QList<ModbusItemBase *> previous = m_executingItems;
    for (ModbusItemBase *item : previous) {
        if (running.contains(item))
            continue;
        m_executingItems.removeAll(item);
        item->setExecuting(false);
    }
    for (ModbusItemBase *item : std::as_const(running)) {
        if (m_executingItems.contains(item))
            continue;
        m_executingItems.append(item);
        item->setExecuting(true);
    }
}
