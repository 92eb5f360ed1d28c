#ifndef MODBUSCLIENT_H
#define MODBUSCLIENT_H

#include "errobject.h"
#include "itempointer.h"
#include "modbustasklist.h"
#include "qtavrexobject.h"

#include <QtCore/qatomic.h>
#include <QtCore/qbasictimer.h>
#include <QtCore/qhash.h>
#include <QtCore/qpointer.h>
#include <QtCore/qstringlist.h>
#include <QtCore/qthread.h>
#include <QtCore/qvariant.h>
#include <QtQml/qqmllist.h>

#include <functional>
#include <mutex>

class ModbusClientExecutor;
class ModbusItemBase;
class ModbusTask;
class ModbusTaskServer;
class ModbusTransport;

/// Runs the tasks of its register items against one device link on a worker thread, the
/// "Modbus executor thread", and hands every result back to its item on the client's own thread.
///
/// Available in QML as `ModbusClient` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusClient : public ErrObject, public QTavrexObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("modbustransport.h")
    Q_MOC_INCLUDE("modbusitembase.h")
    Q_CLASSINFO("DefaultProperty", "items")
    /// The link the requests go over; not owned.
    Q_PROPERTY(ModbusTransport *transport READ transport WRITE setTransport NOTIFY transportChanged)
    /// Merge the reads of neighbouring registers into one request; true by default.
    Q_PROPERTY(bool useOptimization READ useOptimization WRITE setUseOptimization NOTIFY useOptimizationChanged)
    /// Registers per request when reads are merged; 32 by default.
    Q_PROPERTY(int maxRegisters READ maxRegisters WRITE setMaxRegisters NOTIFY maxRegistersChanged)
    /// Archive records per request; longer reads are split. 4 by default.
    Q_PROPERTY(int maxArchRecords READ maxArchRecords WRITE setMaxArchRecords NOTIFY maxArchRecordsChanged)
    /// Accept and run tasks; a disabled client drops what it is given. True by default.
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    /// Hold every task in its queue until unpaused; false by default.
    Q_PROPERTY(bool paused READ paused WRITE setPaused NOTIFY pausedChanged)
    /// Items declared inside the client in QML; they use it as their client.
    Q_PROPERTY(QQmlListProperty<ModbusItemBase> items READ items NOTIFY itemsChanged)
    /// Whether the transport is connected.
    Q_PROPERTY(bool connected READ connected NOTIFY connectedChanged)
    /// One-off tasks waiting to run.
    Q_PROPERTY(quint64 queuedTasksCount READ queuedTasksCount NOTIFY queuedTasksCountChanged)
    /// Periodic tasks registered.
    Q_PROPERTY(quint64 intervalTasksCount READ intervalTasksCount NOTIFY intervalTasksCountChanged)
    /// Tasks finished, successfully or not.
    Q_PROPERTY(quint64 executedTasksCount READ executedTasksCount NOTIFY executedTasksCountChanged)
    /// Tasks that failed.
    Q_PROPERTY(quint64 errorTasksCount READ errorTasksCount NOTIFY errorTasksCountChanged)
    /// Tasks that succeeded.
    Q_PROPERTY(quint64 goodTasksCount READ goodTasksCount NOTIFY goodTasksCountChanged)
    /// Modbus unit address the items use unless they set their own (0-255); 1 by default.
    Q_PROPERTY(int deviceAddress READ deviceAddress WRITE setDeviceAddress NOTIFY deviceAddressChanged)
    /// Hand results to their items one per event-loop turn, so that a busy client never blocks the user
    /// interface; false by default.
    Q_PROPERTY(bool singleResultProcessing READ singleResultProcessing WRITE setSingleResultProcessing
               NOTIFY singleResultProcessingChanged)
    /// Run periodic reads; switching it off pauses every item's interval reading. True by default.
    Q_PROPERTY(bool intervalReadingEnabled READ intervalReadingEnabled WRITE setIntervalReadingEnabled
               NOTIFY intervalReadingEnabledChanged)
    /// Attempts per task before it counts as failed; 1 by default.
    Q_PROPERTY(int retries READ retries WRITE setRetries NOTIFY retriesChanged)

public:
    /// How long a destroyed client waits for its executor before it stops the thread by force.
    static constexpr int ShutdownTimeout = 5000;

    /// A client with no transport; starts its executor thread.
    explicit ModbusClient(QObject *parent = nullptr);
    ~ModbusClient() override;

    /// Getter of the transport property.
    ModbusTransport *transport() const;
    /// Setter of the transport property.
    void setTransport(ModbusTransport *transport);
    /// Getter of the useOptimization property.
    bool useOptimization() const { return m_useOptimization; }
    /// Setter of the useOptimization property.
    void setUseOptimization(bool use);
    /// Getter of the maxRegisters property.
    int maxRegisters() const { return m_maxRegisters; }
    /// Setter of the maxRegisters property.
    void setMaxRegisters(int count);
    /// Getter of the maxArchRecords property.
    int maxArchRecords() const { return m_maxArchRecords; }
    /// Setter of the maxArchRecords property.
    void setMaxArchRecords(int count);
    /// Getter of the enabled property.
    bool enabled() const;
    /// Setter of the enabled property.
    void setEnabled(bool enabled);
    /// Getter of the paused property.
    bool paused() const;
    /// Setter of the paused property.
    void setPaused(bool paused);
    /// Getter of the items property.
    QQmlListProperty<ModbusItemBase> items();
    /// Getter of the connected property.
    bool connected() const { return m_connected; }
    /// Getter of the queuedTasksCount property.
    quint64 queuedTasksCount() const;
    /// Getter of the intervalTasksCount property.
    quint64 intervalTasksCount() const;
    /// Getter of the executedTasksCount property.
    quint64 executedTasksCount() const;
    /// Getter of the errorTasksCount property.
    quint64 errorTasksCount() const;
    /// Getter of the goodTasksCount property.
    quint64 goodTasksCount() const;
    /// Getter of the deviceAddress property.
    int deviceAddress() const { return m_deviceAddress; }
    /// Setter of the deviceAddress property.
    void setDeviceAddress(int address);
    /// Getter of the singleResultProcessing property.
    bool singleResultProcessing() const { return m_singleResultProcessing; }
    /// Getter of the intervalReadingEnabled property.
    bool intervalReadingEnabled() const;
    /// Getter of the retries property.
    int retries() const { return m_retries; }

    Q_INVOKABLE QString toString(bool oneLine) const override;

    /// Queues task; the client takes it over and hands the result to its item. Used by the items.
    virtual void executeTask(ModbusTask *task);
    /// Runs task, waits for it and hands the result to its item; true when it succeeded. The client
    /// takes task over and deletes it.
    virtual bool executeTaskSync(ModbusTask *task);
    /// Runs task and waits for it, leaving the result (state and error string) in task for the
    /// caller, who keeps it.
    virtual void executeTaskSyncSilent(ModbusTask *task);
    /// Runs task every interval milliseconds until stopped; the client takes it over.
    virtual void startExecutingIntervalTask(ModbusTask *task);
    /// Stops the periodic tasks of item.
    virtual void stopExecutingIntervalTask(ModbusItemBase *item);
    /// Called by item when it takes this client.
    virtual void registerItem(ModbusItemBase *item);
    /// Called by item when it leaves this client.
    virtual void unRegisterItem(ModbusItemBase *item);
    /// The registered items in groups (all items for an empty list).
    QList<ModbusItemBase *> getItems(const QStringList &groups);
    /// The queue between the client and its executor.
    ModbusTaskServer *taskServer() const { return m_taskServer; }
    /// Tells the executor that work may be waiting.
    void wakeUpExecutor();
    /// Hands finished tasks to their items; runs on the client's thread.
    void processResultTasks();

public Q_SLOTS:
    /// Starts interval reading of every item that asks for it.
    void startReading();
    /// Stops interval reading of every item.
    void stopReading();
    /// Setter of the singleResultProcessing property.
    void setSingleResultProcessing(bool single);
    /// Reads every registered item once.
    void readAll();
    /// Reads every registered item once, except those in exceptGroup.
    void readAll(const QString &exceptGroup);
    /// Reads every registered item once, except those in exceptGroups.
    void readAll(const QStringList &exceptGroups);
    /// Reads the items of group once.
    void readGroups(const QString &group);
    /// Reads the items of groups once.
    void readGroups(const QStringList &groups);
    /// Setter of the intervalReadingEnabled property.
    void setIntervalReadingEnabled(bool enabled);
    /// How many registered items belong to groups (all items for an empty list).
    int countItems(const QStringList &groups);
    /// Setter of the retries property.
    void setRetries(int retries);
    /// Drops every queued task.
    void abortExecutingAll();
    /// A one-per-line description of the client, for diagnostics.
    QString toString() const { return toString(false); }
    /// The items of groups, for QML.
    QVariantList getVariantItems(const QStringList &groups);
    /// Every registered item, for QML.
    QVariantList getVariantItems();
    /// Takes the transport's connected state.
    void updateConnected();

Q_SIGNALS:
    /// useOptimization changed.
    void useOptimizationChanged();
    /// maxRegisters changed.
    void maxRegistersChanged();
    /// transport changed.
    void transportChanged();
    /// enabled changed.
    void enabledChanged();
    /// paused changed.
    void pausedChanged();
    /// A task of item finished and its result was delivered.
    void executed(ModbusItemBase *item);
    /// items changed.
    void itemsChanged();
    /// connected changed.
    void connectedChanged();
    /// queuedTasksCount changed.
    void queuedTasksCountChanged();
    /// intervalTasksCount changed.
    void intervalTasksCountChanged();
    /// executedTasksCount changed.
    void executedTasksCountChanged();
    /// errorTasksCount changed.
    void errorTasksCountChanged();
    /// deviceAddress changed.
    void deviceAddressChanged();
    /// maxArchRecords changed.
    void maxArchRecordsChanged();
    /// singleResultProcessing changed to single.
    void singleResultProcessingChanged(bool single);
    /// Asks the items to read, except those in exceptGroups; the items listen to it.
    void readingAll(const QHash<QString, bool> &exceptGroups);
    /// Asks the items of groups to read; the items listen to it.
    void readingGroups(const QHash<QString, bool> &groups);
    /// goodTasksCount changed.
    void goodTasksCountChanged();
    /// Asks the items of groups to add themselves to list.
    void collectItems(QList<ModbusItemBase *> &list, const QStringList &groups);
    /// Asks the items of groups to count themselves into result.
    void countItems(int &result, const QStringList &groups);
    /// intervalReadingEnabled changed to enabled.
    void intervalReadingEnabledChanged(bool enabled);
    /// A part of a split task finished.
    void taskPartialExecuted();
    /// Asks item's running task to stop; the executor listens to it.
    void abortExecuting(ModbusItemBase *item);
    /// retries changed; the new value is passed.
    void retriesChanged(int retries);

protected:
    void customEvent(QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    /// Lets a test double stand in for a transport's state.
    void setConnected(bool connected);

private Q_SLOTS:
    void onResultTasksChanged();
    void onExecutingItemsChanged(const QList<ItemPointer> &items);
    void onTransportDestroyed();
    void onItemDestroyed(QObject *item);

private:
    friend class ModbusItemBase;

    enum Notifications {
        ResultsNotification = 0x01,
        QueuedCountNotification = 0x02,
        IntervalCountNotification = 0x04,
        ExecutedCountNotification = 0x08,
        ErrorCountNotification = 0x10,
        GoodCountNotification = 0x20,
        ExecutingNotification = 0x40,
    };

    void connectExecutor();
    void notify(Notifications notification);
    void emitNotifications(int notifications);
    bool deliverNotifications();
    void flushNotifications();
    void applyExecutingChanges();
    void dropExecutingChanges(ModbusItemBase *item);
    void onNotificationTimer();
    void shutDownExecutor();
    void setExecutorTransport(ModbusTransport *transport, bool wait);
    bool transportAnsweredHere() const;
    bool linkConnected() const;
    void attachItem(ModbusItemBase *item);
    void detachItem(ModbusItemBase *item);
    void visitAttachedItems(const std::function<void(ModbusItemBase *)> &visit);
    void releaseAttachedItems();

    static void itemsAppend(QQmlListProperty<ModbusItemBase> *list, ModbusItemBase *item);
    static qsizetype itemsCount(QQmlListProperty<ModbusItemBase> *list);
    static ModbusItemBase *itemsAt(QQmlListProperty<ModbusItemBase> *list, qsizetype index);
    static void itemsClear(QQmlListProperty<ModbusItemBase> *list);

    bool m_useOptimization = true;
    int m_maxRegisters = 32;
    bool m_connected = false;
    int m_maxArchRecords = 4;
    QThread m_executorThread;
    ModbusClientExecutor *m_executor = nullptr;
    QPointer<ModbusTransport> m_transport;
    ModbusTaskServer *m_taskServer = nullptr;
    QList<ModbusItemBase *> m_executingItems;
    // Items in unRegisterItem(), perhaps from their destructor: no start of their work may reach them.
    QList<ModbusItemBase *> m_leavingItems;
    quint8 m_deviceAddress = 1;
    ModbusTaskList m_results;
    QList<ModbusItemBase *> m_items;
    bool m_singleResultProcessing = false;
    int m_retries = 1;
    QAtomicInt m_pendingNotifications;
    QAtomicInt m_notificationsArmed;
    QBasicTimer m_notificationTimer;
    std::mutex m_executingLock;
    // Every start and end of a task the executor made since the last delivery, oldest first.
    QList<QList<ItemPointer>> m_executingChanges;
    // Calling attached items directly saves every item a set of connections to the client.
    QList<ModbusItemBase *> m_attachedItems;
    int m_itemVisits = 0;
};

#endif
