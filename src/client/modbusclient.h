#ifndef MODBUSCLIENT_H
#define MODBUSCLIENT_H

#include "errobject.h"
#include "itempointer.h"
#include "modbustasklist.h"
#include "qtavrexobject.h"

#include <QtCore/qatomic.h>
#include <QtCore/qbasictimer.h>
#include <QtCore/qhash.h>
#include <QtCore/qmutex.h>
#include <QtCore/qpointer.h>
#include <QtCore/qstringlist.h>
#include <QtCore/qthread.h>
#include <QtCore/qvariant.h>
#include <QtQml/qqmllist.h>

#include <functional>

class ModbusClientExecutor;
class ModbusItemBase;
class ModbusTask;
class ModbusTaskServer;
class ModbusTransport;

// Runs the tasks of its register items against one device link on a worker thread, the
// "Modbus executor thread", and hands every result back to its item on the client's own thread.
class TAVREXBUS1_EXPORT ModbusClient : public ErrObject, public QTavrexObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("modbustransport.h")
    Q_MOC_INCLUDE("modbusitembase.h")
    Q_CLASSINFO("DefaultProperty", "items")
    Q_PROPERTY(ModbusTransport *transport READ transport WRITE setTransport NOTIFY transportChanged)
    Q_PROPERTY(bool useOptimization READ useOptimization WRITE setUseOptimization NOTIFY useOptimizationChanged)
    Q_PROPERTY(int maxRegisters READ maxRegisters WRITE setMaxRegisters NOTIFY maxRegistersChanged)
    Q_PROPERTY(int maxArchRecords READ maxArchRecords WRITE setMaxArchRecords NOTIFY maxArchRecordsChanged)
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    Q_PROPERTY(bool paused READ paused WRITE setPaused NOTIFY pausedChanged)
    Q_PROPERTY(QQmlListProperty<ModbusItemBase> items READ items NOTIFY itemsChanged)
    Q_PROPERTY(bool connected READ connected NOTIFY connectedChanged)
    Q_PROPERTY(quint64 queuedTasksCount READ queuedTasksCount NOTIFY queuedTasksCountChanged)
    Q_PROPERTY(quint64 intervalTasksCount READ intervalTasksCount NOTIFY intervalTasksCountChanged)
    Q_PROPERTY(quint64 executedTasksCount READ executedTasksCount NOTIFY executedTasksCountChanged)
    Q_PROPERTY(quint64 errorTasksCount READ errorTasksCount NOTIFY errorTasksCountChanged)
    Q_PROPERTY(quint64 goodTasksCount READ goodTasksCount NOTIFY goodTasksCountChanged)
    Q_PROPERTY(int deviceAddress READ deviceAddress WRITE setDeviceAddress NOTIFY deviceAddressChanged)
    Q_PROPERTY(bool singleResultProcessing READ singleResultProcessing WRITE setSingleResultProcessing
               NOTIFY singleResultProcessingChanged)
    Q_PROPERTY(bool intervalReadingEnabled READ intervalReadingEnabled WRITE setIntervalReadingEnabled
               NOTIFY intervalReadingEnabledChanged)
    Q_PROPERTY(int retries READ retries WRITE setRetries NOTIFY retriesChanged)

public:
    // How long a destroyed client waits for its executor before it stops the thread by force.
    static constexpr int ShutdownTimeout = 5000;

    explicit ModbusClient(QObject *parent = nullptr);
    ~ModbusClient() override;

    ModbusTransport *transport() const;
    void setTransport(ModbusTransport *transport);
    bool useOptimization() const { return m_useOptimization; }
    void setUseOptimization(bool use);
    int maxRegisters() const { return m_maxRegisters; }
    void setMaxRegisters(int count);
    int maxArchRecords() const { return m_maxArchRecords; }
    void setMaxArchRecords(int count);
    bool enabled() const;
    void setEnabled(bool enabled);
    bool paused() const;
    void setPaused(bool paused);
    QQmlListProperty<ModbusItemBase> items();
    bool connected() const { return m_connected; }
    quint64 queuedTasksCount() const;
    quint64 intervalTasksCount() const;
    quint64 executedTasksCount() const;
    quint64 errorTasksCount() const;
    quint64 goodTasksCount() const;
    int deviceAddress() const { return m_deviceAddress; }
    void setDeviceAddress(int address);
    bool singleResultProcessing() const { return m_singleResultProcessing; }
    bool intervalReadingEnabled() const;
    int retries() const { return m_retries; }

    Q_INVOKABLE QString toString(bool oneLine) const override;

    // The interface the items use.
    virtual void executeTask(ModbusTask *task);
    virtual bool executeTaskSync(ModbusTask *task);
    virtual void executeTaskSyncSilent(ModbusTask *task);
    virtual void startExecutingIntervalTask(ModbusTask *task);
    virtual void stopExecutingIntervalTask(ModbusItemBase *item);
    virtual void registerItem(ModbusItemBase *item);
    virtual void unRegisterItem(ModbusItemBase *item);
    QList<ModbusItemBase *> getItems(const QStringList &groups);
    ModbusTaskServer *taskServer() const { return m_taskServer; }
    void wakeUpExecutor();
    void processResultTasks();

public Q_SLOTS:
    void startReading();
    void stopReading();
    void setSingleResultProcessing(bool single);
    void readAll();
    void readAll(const QString &exceptGroup);
    void readAll(const QStringList &exceptGroups);
    void readGroups(const QString &group);
    void readGroups(const QStringList &groups);
    void setIntervalReadingEnabled(bool enabled);
    int countItems(const QStringList &groups);
    void setRetries(int retries);
    void abortExecutingAll();
    QString toString() const { return toString(false); }
    QVariantList getVariantItems(const QStringList &groups);
    QVariantList getVariantItems();
    void updateConnected();

Q_SIGNALS:
    void useOptimizationChanged();
    void maxRegistersChanged();
    void transportChanged();
    void enabledChanged();
    void pausedChanged();
    void executed(ModbusItemBase *item);
    void itemsChanged();
    void connectedChanged();
    void queuedTasksCountChanged();
    void intervalTasksCountChanged();
    void executedTasksCountChanged();
    void errorTasksCountChanged();
    void deviceAddressChanged();
    void maxArchRecordsChanged();
    void singleResultProcessingChanged(bool single);
    void readingAll(const QHash<QString, bool> &exceptGroups);
    void readingGroups(const QHash<QString, bool> &groups);
    void goodTasksCountChanged();
    void collectItems(QList<ModbusItemBase *> &list, const QStringList &groups);
    void countItems(int &result, const QStringList &groups);
    void intervalReadingEnabledChanged(bool enabled);
    void taskPartialExecuted();
    void abortExecuting(ModbusItemBase *item);
    void retriesChanged(int retries);

protected:
    void customEvent(QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    // Lets a test double stand in for a transport's state.
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
    void applyExecutingChanges();
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
    quint8 m_deviceAddress = 1;
    ModbusTaskList m_results;
    QList<ModbusItemBase *> m_items;
    bool m_singleResultProcessing = false;
    int m_retries = 1;
    QAtomicInt m_pendingNotifications;
    QAtomicInt m_notificationsArmed;
    QBasicTimer m_notificationTimer;
    QMutex m_executingLock;
    // Every start and end of a task the executor made since the last delivery, oldest first.
    QList<QList<ItemPointer>> m_executingChanges;
    // Calling attached items directly saves every item a set of connections to the client.
    QList<ModbusItemBase *> m_attachedItems;
    int m_itemVisits = 0;
};

#endif
