#ifndef MODBUSITEMBASE_H
#define MODBUSITEMBASE_H

#include "errobject.h"
#include "modbusbytesarray.h"
#include "mydeclarativeparserstatus.h"
#include "roleitems.h"
#include "tavrexbus.h"
#include "trendbytesbuffer.h"

#include <QtCore/qdatetime.h>
#include <QtCore/qhash.h>
#include <QtCore/qpointer.h>
#include <QtCore/qstringlist.h>
#include <QtCore/qvariant.h>
#include <QtQml/qqmllist.h>

class InternalItemModel;
class ModbusClient;
class ModbusTask;

// The common base of every value an application mirrors from a device: it keeps the byte image
// (an array of elements, plus a trend of past arrays), turns it into a typed value through its
// subclass, and reads and writes it through a ModbusClient by handing it tasks.
class TAVREXBUS1_EXPORT ModbusItemBase : public ErrObject, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_MOC_INCLUDE("internalitemmodel.h")
    Q_MOC_INCLUDE("modbusclient.h")
    Q_CLASSINFO("ExportProp", "count")
    Q_CLASSINFO("DefaultProperty", "items")
    Q_PROPERTY(QString formatValue READ formatValue WRITE setFormatValue NOTIFY formatValueChanged)
    Q_PROPERTY(QString binaryValue READ binaryValue NOTIFY formatValueChanged)
    Q_PROPERTY(int binaryBaseLength READ binaryBaseLength WRITE setBinaryBaseLength NOTIFY binaryBaseLengthChanged)
    Q_PROPERTY(int interval READ interval WRITE setInterval NOTIFY intervalChanged)
    Q_PROPERTY(QDateTime lastReadTime READ lastReadTime NOTIFY lastReadTimeChanged)
    Q_PROPERTY(QDateTime lastWriteTime READ lastWriteTime NOTIFY lastWriteTimeChanged)
    Q_PROPERTY(bool readOnly READ readOnly NOTIFY readOnlyChanged)
    Q_PROPERTY(ModbusClient *client READ client WRITE setClient NOTIFY clientChanged)
    Q_PROPERTY(bool executing READ executing NOTIFY executingChanged)
    Q_PROPERTY(bool intervalReading READ intervalReading WRITE setIntervalReading NOTIFY intervalReadingChanged)
    Q_PROPERTY(bool wasRead READ wasRead WRITE setWasRead NOTIFY wasReadChanged)
    Q_PROPERTY(bool wasWrite READ wasWrite WRITE setWasWrite NOTIFY wasWriteChanged)
    Q_PROPERTY(bool readAfterWrite READ readAfterWrite WRITE setReadAfterWrite NOTIFY readAfterWriteChanged)
    Q_PROPERTY(quint64 readCount READ readCount NOTIFY readCountChanged)
    Q_PROPERTY(quint64 writeCount READ writeCount NOTIFY writeCountChanged)
    Q_PROPERTY(int readingCounter READ readingCounter NOTIFY readingCounterChanged)
    Q_PROPERTY(bool force READ force WRITE setForce NOTIFY forceChanged)
    Q_PROPERTY(bool readOnConnect READ readOnConnect WRITE setReadOnConnect NOTIFY readOnConnectChanged)
    Q_PROPERTY(bool connected READ connected NOTIFY connectedChanged)
    Q_PROPERTY(ModbusItemBase *source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(int sourceByteIndex READ sourceByteIndex WRITE setSourceByteIndex NOTIFY sourceByteIndexChanged)
    Q_PROPERTY(int sourceTrendIndex READ sourceTrendIndex WRITE setSourceTrendIndex NOTIFY sourceTrendIndexChanged)
    Q_PROPERTY(int sourceIndex READ sourceArrayIndex WRITE setSourceArrayIndex NOTIFY sourceArrayIndexChanged)
    Q_PROPERTY(int arrayIndex READ arrayIndex NOTIFY arrayIndexChanged)
    Q_PROPERTY(bool useOptimizing READ useOptimizing WRITE setUseOptimizing NOTIFY useOptimizingChanged)
    Q_PROPERTY(bool liveRead READ liveRead WRITE setLiveRead NOTIFY liveReadChanged)
    Q_PROPERTY(bool liveWrite READ liveWrite WRITE setLiveWrite NOTIFY liveWriteChanged)
    Q_PROPERTY(QQmlListProperty<ModbusItemBase> items READ items NOTIFY itemsChanged)
    Q_PROPERTY(quint32 intervalReadingCounter READ intervalReadingCounter NOTIFY intervalReadingCounterChanged)
    Q_PROPERTY(int trendIndex READ trendIndex WRITE setTrendIndex NOTIFY trendIndexChanged)
    Q_PROPERTY(int maxTrendSize READ maxTrendSize WRITE setMaxTrendSize NOTIFY maxTrendSizeChanged)
    Q_PROPERTY(int trendSize READ trendSize NOTIFY trendSizeChanged)
    Q_PROPERTY(int deviceAddress READ deviceAddress WRITE setDeviceAddress NOTIFY deviceAddressChanged)
    Q_PROPERTY(bool useClientDeviceAddress READ useClientDeviceAddress WRITE setUseClientDeviceAddress
               NOTIFY useClientDeviceAddressChanged)
    Q_PROPERTY(int count READ count WRITE setCount NOTIFY countChanged)
    Q_PROPERTY(int arraySize READ arraySize NOTIFY arraySizeChanged)
    Q_PROPERTY(InternalItemModel *model READ model NOTIFY modelChanged)
    Q_PROPERTY(ModelType modelType READ modelType WRITE setModelType NOTIFY modelTypeChanged)
    Q_PROPERTY(bool actualValue READ actualValue NOTIFY actualValueChanged)
    Q_PROPERTY(QString group READ group WRITE setGroup NOTIFY groupChanged)

public:
    enum BytesChangeType {
        InternalChange = 0,
        ValueChange = 1,
        SourceChange = 2,
        ViewChange = 3,
        ReadChange = 4,
        TrendIndexChange = 5,
        ArrayIndexChange = 6
    };
    Q_ENUM(BytesChangeType)

    enum ModelType { ArrayModel = 0, TrendModel = 1 };
    Q_ENUM(ModelType)

    static constexpr int LabelRole = 0x1001F;

    explicit ModbusItemBase(int requestItemBytesCount, QObject *parent = nullptr);
    ~ModbusItemBase() override;

    // Byte image
    ModbusBytes bytes() const;
    ModbusBytes topBytes() const;
    ModbusBytesArray bytesArray() const;
    ModbusBytesArray topBytesArray() const { return m_topBytesArray; }
    ModbusBytes arrayBytes(int arrayIndex) const;
    ModbusBytes specifiedBytes(int trendIndex, int arrayIndex) const;
    QString bytesHex() const;
    QVariant variantValue() const;
    int requestItemBytesCount() const { return m_requestItemBytesCount; }
    int requestBytesCount() const;
    int requestModbusBytesCount() const;
    void setBytes(const ModbusBytes &bytes, BytesChangeType type);
    void setBytesArray(const ModbusBytesArray &array, BytesChangeType type);
    void setTopBytesArray(const ModbusBytesArray &array, BytesChangeType type);

    // Trend
    int trendSize() const { return m_trendBuffer.size(); }
    int maxTrendSize() const { return m_maxTrendSize; }
    int trendIndex() const { return m_trendIndex; }
    void removeTrendItems(int from, int to);
    const TrendBytesBuffer &trendBuffer() const { return m_trendBuffer; }
    const ModbusBytesArray *trendBytesArray(int trendIndex) const;
    ModbusBytes trendBytes(int trendIndex) const;
    const TrendBytesItem *trendItem(int trendIndex) const;
    QVariant trendValue(int trendIndex) const;

    // Arrays
    int arrayIndex() const { return m_arrayIndex; }
    void setArrayIndex(int index);
    int arraySize() const;
    int count() const { return m_count; }

    // Model
    InternalItemModel *model() const;
    ModelType modelType() const { return m_modelType; }
    void setModelType(ModelType type);
    const RoleItems &roles() const { return m_roles; }
    void setRoles(const RoleItems &roles);
    int modelRowsCount() const;
    QVariant data(int row, int role) const;
    void doItemsAboutToBeInserted(ModelType type, int first, int last);
    void doItemsInserted(ModelType type);
    void doItemsAboutToBeRemoved(ModelType type, int first, int last);
    void doItemsRemoved(ModelType type);
    void doAboutToBeReset(ModelType type);
    void doReset(ModelType type);
    void doItemsAboutToBeMoved(ModelType type, int first, int last, int destination);
    void doItemsMoved(ModelType type);
    void doItemsChanged(ModelType type, int first, int last);

    // Properties
    QString binaryValue() const { return getBinaryValue(m_binaryBaseLength); }
    int binaryBaseLength() const { return m_binaryBaseLength; }
    int interval() const { return m_interval; }
    void setInterval(int interval);
    QDateTime lastReadTime() const { return m_lastReadTime; }
    QDateTime lastWriteTime() const { return m_lastWriteTime; }
    void setReadOnly(bool readOnly);
    ModbusClient *client() const;
    void setClient(ModbusClient *client);
    bool executing() const { return m_executing; }
    void setExecuting(bool executing);
    bool intervalReading() const { return m_intervalReading || m_intervalReadingCounter != 0; }
    void setIntervalReading(bool intervalReading);
    bool wasRead() const { return m_wasRead; }
    void setWasRead(bool wasRead);
    bool wasWrite() const { return m_wasWrite; }
    void setWasWrite(bool wasWrite);
    bool readAfterWrite() const { return m_readAfterWrite; }
    void setReadAfterWrite(bool readAfterWrite);
    quint64 readCount() const { return m_readCount; }
    quint64 writeCount() const { return m_writeCount; }
    int readingCounter() const { return m_readingCounter; }
    void setReadingCounter(int readingCounter);
    bool force() const { return m_force; }
    void setForce(bool force);
    bool readOnConnect() const { return m_readOnConnect; }
    void setReadOnConnect(bool readOnConnect);
    bool connected() const { return m_connected; }
    ModbusItemBase *source() const { return m_source; }
    void setSource(ModbusItemBase *source);
    int sourceByteIndex() const { return m_sourceByteIndex; }
    void setSourceByteIndex(int index);
    bool sourceByteIndexSet() const { return m_sourceByteIndexSet; }
    int sourceTrendIndex() const { return m_sourceTrendIndex; }
    void setSourceTrendIndex(int index);
    int sourceArrayIndex() const { return m_sourceArrayIndex; }
    void setSourceArrayIndex(int index);
    bool useOptimizing() const { return m_useOptimizing; }
    void setUseOptimizing(bool useOptimizing);
    bool liveRead() const { return m_liveRead; }
    void setLiveRead(bool liveRead);
    bool liveWrite() const { return m_liveWrite; }
    void setLiveWrite(bool liveWrite);
    QQmlListProperty<ModbusItemBase> items();
    const QList<ModbusItemBase *> &childItems() const { return m_childItems; }
    quint32 intervalReadingCounter() const { return m_intervalReadingCounter; }
    void setIntervalReadingCounter(quint32 counter);
    int deviceAddress() const { return m_deviceAddress; }
    void setDeviceAddress(int address);
    bool useClientDeviceAddress() const { return m_useClientDeviceAddress; }
    void setUseClientDeviceAddress(bool use);
    void setCount(int count);
    bool actualValue() const { return m_actualValue; }
    bool checkReadTaskCount() const { return m_checkReadTaskCount; }
    void setCheckReadTaskCount(bool check) { m_checkReadTaskCount = check; }
    QString group() const { return m_group; }
    bool containedIn(const QStringList &groups) const;

    Q_INVOKABLE QVariant getModelValue(int row, int column) const;
    Q_INVOKABLE QVariant getModelValue(int row) const;
    Q_INVOKABLE QVariant getModelValue(int row, const QString &roleName) const;
    Q_INVOKABLE QString getModelHeader(const QString &roleName) const;
    Q_INVOKABLE QString getBinaryValue(int baseLength) const;
    Q_INVOKABLE QString getBinaryValue() const { return getBinaryValue(-1); }

    // Virtual operations, in the order subclasses rely on.
    virtual ModbusBytesArray getModbusBytes() const;
    virtual ModbusBytesArray getModbusBytes(const ModbusBytesArray &array) const;
    virtual QString formatValue() const = 0;
    virtual void setFormatValue(const QString &value) = 0;
    virtual bool readOnly() const { return m_readOnly; }
    virtual void setMaxTrendSize(int size);
    virtual void setTrendIndex(int index);
    virtual ModbusTask *createModbusTask(TavrexBus::ModbusTaskType type, int interval) = 0;
    virtual bool taskCompleted(ModbusTask *task);
    virtual int requestItemModbusBytesCount() const { return m_requestItemBytesCount; }
    void componentComplete() override;
    virtual void insertTopBytesToTrend(const QDateTime &label);
    virtual void insertBytesToTrend(const QDateTime &label, const ModbusBytesArray &array);
    virtual QVariant getTypedValue(const ModbusBytes &bytes) const = 0;
    virtual QVariant data(const ModbusBytes &bytes, int role) const;

public Q_SLOTS:
    virtual bool read() { return internalRead(false); }
    virtual bool write() { return internalWrite(nullptr, false); }
    virtual bool readSync() { return internalRead(true); }
    virtual bool writeSync() { return internalWrite(nullptr, true); }
    virtual bool write(const ModbusBytes &bytes);
    virtual bool write(const ModbusBytesArray &array) { return internalWrite(&array, false); }
    virtual bool writeSync(const ModbusBytes &bytes);
    virtual bool writeSync(const ModbusBytesArray &array) { return internalWrite(&array, true); }
    virtual bool startReading();
    virtual bool stopReading();
    void beginReading();
    void endReading();
    void clearTrend();
    void abortExecuting();
    QString getRoleNames() const;
    void clearArray();
    void setGroup(const QString &group);
    void setBinaryBaseLength(int length);

Q_SIGNALS:
    void formatValueChanged();
    void binaryBaseLengthChanged(int length);
    void intervalChanged();
    void lastReadTimeChanged();
    void lastWriteTimeChanged();
    void readOnlyChanged();
    void clientChanged();
    void executingChanged();
    void intervalReadingChanged();
    void wasReadChanged();
    void wasWriteChanged();
    void readAfterWriteChanged();
    void readCountChanged();
    void writeCountChanged();
    void readingCounterChanged();
    void forceChanged();
    void readOnConnectChanged();
    void connectedChanged();
    void sourceChanged();
    void sourceByteIndexChanged();
    void sourceTrendIndexChanged();
    void sourceArrayIndexChanged();
    void arrayIndexChanged();
    void useOptimizingChanged();
    void liveReadChanged();
    void liveWriteChanged();
    void itemsChanged();
    void intervalReadingCounterChanged();
    void trendIndexChanged();
    void maxTrendSizeChanged();
    void trendSizeChanged();
    void deviceAddressChanged();
    void useClientDeviceAddressChanged();
    void countChanged();
    void arraySizeChanged();
    void modelChanged();
    void modelTypeChanged();
    void actualValueChanged();
    void groupChanged(const QString &group);
    void bytesChanged(ModbusItemBase::BytesChangeType type);
    void bytesWasRead(const QDateTime &label);
    void beforeRead(bool &cancel);
    void beforeWrite(bool &cancel);
    void afterRead();
    void afterWrite();
    void binaryValueChanged();
    void abortExecutingInternal(ModbusItemBase *item);

protected:
    virtual void taskCreated(ModbusTask *task);
    virtual void applyResultTask(const ModbusTask &task);
    virtual void newBytesFromSource(const ModbusBytesArray &array);
    virtual void modifySourceBytes();
    virtual void receiveBytesFromSource();
    virtual ModbusBytes getBytesFromSourceBytes(const ModbusBytes &bytes) const;
    virtual void bytesWasChanged();
    virtual void updateValueFromBytes() = 0;
    virtual void registerSource(ModbusItemBase *source);
    virtual void unRegisterSource(ModbusItemBase *source);
    virtual bool checkValidResultTask(ModbusTask *task);
    virtual void registerClient(ModbusClient *client);
    virtual void unRegisterClient(ModbusClient *client);
    virtual void onAfterReadTask(const ModbusTask &task);
    virtual void onAfterWriteTask(const ModbusTask &task);
    virtual void needValueRead();
    virtual bool internalReading(bool sync);
    virtual bool internalWriting(const ModbusBytesArray *bytes, bool sync);

    bool internalRead(bool sync);
    bool internalWrite(const ModbusBytesArray *bytes, bool sync);
    void currentBytesChanged(BytesChangeType type);
    void reinitIntervalReading();
    void setRequestItemBytesCount(int count);
    void setActualValue(bool actual);
    void setConnected(bool connected);
    void setLastReadTime(const QDateTime &time);
    void setLastWriteTime(const QDateTime &time);
    ModbusBytesArray *selectedArray();
    void resizeTrendBytes(int size);
    void followShrunkTrend();

    RoleItems m_roles;

private:
    friend class ModbusClient;

private Q_SLOTS:
    void updateConnected();
    void onClientDestroyed();
    void onClientDeviceAddressChanged();
    void onReadingAll(const QHash<QString, bool> &exceptGroups);
    void onReadingGroups(const QHash<QString, bool> &groups);
    void onCollectItems(QList<ModbusItemBase *> &list, const QStringList &groups);
    void onCountItems(int &result, const QStringList &groups);
    void onSourceBytesChanged(ModbusItemBase::BytesChangeType type);
    void onSourceBytesWasRead(const QDateTime &label);
    void onSourceDestroyed();

private:
    static RoleItems defaultRoles();
    void detachClient();
    void appendChild(ModbusItemBase *child);
    void clearChildren();
    void assignArray(ModbusBytesArray *target, bool selected, int trendRow, const ModbusBytesArray &array,
                     BytesChangeType type);
    void takeClientDeviceAddress();
    void storeDeviceAddress(int address);

    static void itemsAppend(QQmlListProperty<ModbusItemBase> *list, ModbusItemBase *item);
    static qsizetype itemsCount(QQmlListProperty<ModbusItemBase> *list);
    static ModbusItemBase *itemsAt(QQmlListProperty<ModbusItemBase> *list, qsizetype index);
    static void itemsClear(QQmlListProperty<ModbusItemBase> *list);

    QPointer<ModbusClient> m_client;
    int m_interval = 1000;
    QDateTime m_lastReadTime;
    QDateTime m_lastWriteTime;
    bool m_executing = false;
    bool m_intervalReading = false;
    bool m_wasRead = false;
    bool m_wasWrite = false;
    bool m_readAfterWrite = false;
    quint64 m_readCount = 0;
    quint64 m_writeCount = 0;
    int m_readingCounter = 0;
    bool m_force = false;
    bool m_readOnConnect = false;
    bool m_connected = false;
    int m_requestItemBytesCount;
    QPointer<ModbusItemBase> m_source;
    int m_sourceByteIndex = 0;
    bool m_useOptimizing = true;
    bool m_liveRead = false;
    bool m_liveWrite = false;
    quint32 m_intervalReadingCounter = 0;
    int m_trendIndex = -1;
    int m_maxTrendSize = 0;
    TrendBytesBuffer m_trendBuffer;
    bool m_sourceByteIndexSet = false;
    int m_sourceTrendIndex = -1;
    quint8 m_deviceAddress = 1;
    int m_arrayIndex = 0;
    int m_sourceArrayIndex = 0;
    int m_count = 1;
    ModelType m_modelType = ArrayModel;
    bool m_actualValue = false;
    ModbusBytesArray m_topBytesArray;
    bool m_readGuard = false;
    bool m_writeGuard = false;
    bool m_useClientDeviceAddress = true;
    bool m_checkReadTaskCount = true;
    InternalItemModel *m_model = nullptr;
    RoleItems m_modelRoles;
    QString m_group;
    QList<ModbusItemBase *> m_childItems;
    bool m_readPending = false;
    int m_binaryBaseLength = -1;
    bool m_readOnly = false;
};

#endif
