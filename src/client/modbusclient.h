#ifndef MODBUSCLIENT_H
#define MODBUSCLIENT_H

#include "errobject.h"
#include "qtavrexobject.h"

#include <QtCore/qhash.h>
#include <QtCore/qstringlist.h>
#include <QtCore/qvariant.h>

class ModbusItemBase;
class ModbusTask;

// Runs the tasks of its register items against one device link and hands the results back to them.
class TAVREXBUS1_EXPORT ModbusClient : public ErrObject, public QTavrexObject
{
    Q_OBJECT
    Q_PROPERTY(bool connected READ connected NOTIFY connectedChanged)
    Q_PROPERTY(int deviceAddress READ deviceAddress WRITE setDeviceAddress NOTIFY deviceAddressChanged)

public:
    explicit ModbusClient(QObject *parent = nullptr);
    ~ModbusClient() override;

    bool connected() const { return m_connected; }
    int deviceAddress() const { return m_deviceAddress; }
    void setDeviceAddress(int address);

    virtual void executeTask(ModbusTask *task);
    virtual bool executeTaskSync(ModbusTask *task);
    virtual void executeTaskSyncSilent(ModbusTask *task);
    virtual void startExecutingIntervalTask(ModbusTask *task);
    virtual void stopExecutingIntervalTask(ModbusItemBase *item);
    virtual void registerItem(ModbusItemBase *item);
    virtual void unRegisterItem(ModbusItemBase *item);
    QList<ModbusItemBase *> getItems(const QStringList &groups);
    Q_INVOKABLE QString toString(bool oneLine) const override;

public Q_SLOTS:
    void readAll();
    void readAll(const QString &exceptGroup);
    void readAll(const QStringList &exceptGroups);
    void readGroups(const QString &group);
    void readGroups(const QStringList &groups);
    int countItems(const QStringList &groups);
    QVariantList getVariantItems(const QStringList &groups);
    QVariantList getVariantItems();
    QString toString() const { return toString(false); }

Q_SIGNALS:
    void connectedChanged();
    void deviceAddressChanged();
    void executed(ModbusItemBase *item);
    void readingAll(const QHash<QString, bool> &exceptGroups);
    void readingGroups(const QHash<QString, bool> &groups);
    void collectItems(QList<ModbusItemBase *> &list, const QStringList &groups);
    void countItems(int &result, const QStringList &groups);
    void abortExecuting(ModbusItemBase *item);

protected:
    void setConnected(bool connected);

private:
    bool m_connected = false;
    quint8 m_deviceAddress = 1;
};

#endif
