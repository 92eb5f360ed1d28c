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

/// The common base of every value an application mirrors from a device: it keeps the byte image
/// (an array of elements, plus a trend of past arrays), turns it into a typed value through its
/// subclass, and reads and writes it through a ModbusClient by handing it tasks.
///
/// Registered in QML as the uncreatable type `ModbusItemBase` (`import TavrexBus 1.0`), so that QML sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT ModbusItemBase : public ErrObject, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_MOC_INCLUDE("internalitemmodel.h")
    Q_MOC_INCLUDE("modbusclient.h")
    Q_CLASSINFO("ExportProp", "count")
    Q_CLASSINFO("DefaultProperty", "items")
    /// The value as text, in the item's own format (radix, precision, date format …); setting it encodes and
    /// stores the text as the new value.
    Q_PROPERTY(QString formatValue READ formatValue WRITE setFormatValue NOTIFY formatValueChanged)
    /// The current bytes in binary digits, padded to binaryBaseLength.
    Q_PROPERTY(QString binaryValue READ binaryValue NOTIFY formatValueChanged)
    /// Digit count of binaryValue; -1 (default) for the natural length.
    Q_PROPERTY(int binaryBaseLength READ binaryBaseLength WRITE setBinaryBaseLength NOTIFY binaryBaseLengthChanged)
    /// Period of interval reading, in milliseconds; 1000 by default.
    Q_PROPERTY(int interval READ interval WRITE setInterval NOTIFY intervalChanged)
    /// When the last read succeeded; the epoch until then.
    Q_PROPERTY(QDateTime lastReadTime READ lastReadTime NOTIFY lastReadTimeChanged)
    /// When the last write succeeded; the epoch until then.
    Q_PROPERTY(QDateTime lastWriteTime READ lastWriteTime NOTIFY lastWriteTimeChanged)
    /// True when the item cannot be written (input registers, discrete inputs, device answers).
    Q_PROPERTY(bool readOnly READ readOnly NOTIFY readOnlyChanged)
    /// The client that runs this item's reads and writes; not owned.
    Q_PROPERTY(ModbusClient *client READ client WRITE setClient NOTIFY clientChanged)
    /// True while a read or write of this item is queued or running.
    Q_PROPERTY(bool executing READ executing NOTIFY executingChanged)
    /// Read every interval milliseconds; also true while a ModbusItemReader or beginReading() holds the item.
    Q_PROPERTY(bool intervalReading READ intervalReading WRITE setIntervalReading NOTIFY intervalReadingChanged)
    /// True once a read has succeeded.
    Q_PROPERTY(bool wasRead READ wasRead WRITE setWasRead NOTIFY wasReadChanged)
    /// True once a write has succeeded.
    Q_PROPERTY(bool wasWrite READ wasWrite WRITE setWasWrite NOTIFY wasWriteChanged)
    /// Read again after every successful write, so that the value shows what the device took; false by default.
    Q_PROPERTY(bool readAfterWrite READ readAfterWrite WRITE setReadAfterWrite NOTIFY readAfterWriteChanged)
    /// Successful reads.
    Q_PROPERTY(quint64 readCount READ readCount NOTIFY readCountChanged)
    /// Successful writes.
    Q_PROPERTY(quint64 writeCount READ writeCount NOTIFY writeCountChanged)
    /// Reads still to do before interval reading switches itself off; 0 (default) for no limit.
    Q_PROPERTY(int readingCounter READ readingCounter NOTIFY readingCounterChanged)
    /// Repeat a one-off read or write until it succeeds, as long as the client is connected; false by
    /// default.
    Q_PROPERTY(bool force READ force WRITE setForce NOTIFY forceChanged)
    /// Read whenever the client connects or disconnects; false by default.
    Q_PROPERTY(bool readOnConnect READ readOnConnect WRITE setReadOnConnect NOTIFY readOnConnectChanged)
    /// Whether the item's client is connected.
    Q_PROPERTY(bool connected READ connected NOTIFY connectedChanged)
    /// The item whose bytes this one views instead of reading the device; not owned. A view never reads on its
    /// own.
    Q_PROPERTY(ModbusItemBase *source READ source WRITE setSource NOTIFY sourceChanged)
    /// Byte offset of this item inside the source's element.
    Q_PROPERTY(int sourceByteIndex READ sourceByteIndex WRITE setSourceByteIndex NOTIFY sourceByteIndexChanged)
    /// Trend entry of the source that is viewed; -1 (default) for the source's live value.
    Q_PROPERTY(int sourceTrendIndex READ sourceTrendIndex WRITE setSourceTrendIndex NOTIFY sourceTrendIndexChanged)
    /// Element of the source's array that is viewed; -1 for every element.
    Q_PROPERTY(int sourceIndex READ sourceArrayIndex WRITE setSourceArrayIndex NOTIFY sourceArrayIndexChanged)
    /// The selected element of the array, whose value the item shows.
    Q_PROPERTY(int arrayIndex READ arrayIndex NOTIFY arrayIndexChanged)
    /// Let the client merge this item's reads with neighbouring registers; true by default.
    Q_PROPERTY(bool useOptimizing READ useOptimizing WRITE setUseOptimizing NOTIFY useOptimizingChanged)
    /// Read whenever what the item asks for (address, count, device address) or the connection changes.
    Q_PROPERTY(bool liveRead READ liveRead WRITE setLiveRead NOTIFY liveReadChanged)
    /// Write whenever the application changes the value.
    Q_PROPERTY(bool liveWrite READ liveWrite WRITE setLiveWrite NOTIFY liveWriteChanged)
    /// Items declared inside this one in QML; owned by it.
    Q_PROPERTY(QQmlListProperty<ModbusItemBase> items READ items NOTIFY itemsChanged)
    /// How many beginReading() calls are still open.
    Q_PROPERTY(quint32 intervalReadingCounter READ intervalReadingCounter NOTIFY intervalReadingCounterChanged)
    /// The selected trend entry; -1 (default) for the live value.
    Q_PROPERTY(int trendIndex READ trendIndex WRITE setTrendIndex NOTIFY trendIndexChanged)
    /// How many past values the trend keeps; 0 (default) for no trend.
    Q_PROPERTY(int maxTrendSize READ maxTrendSize WRITE setMaxTrendSize NOTIFY maxTrendSizeChanged)
    /// How many past values the trend holds.
    Q_PROPERTY(int trendSize READ trendSize NOTIFY trendSizeChanged)
    /// Modbus unit address of the item's requests (0-255, default 1); setting it stops following the client's
    /// address.
    Q_PROPERTY(int deviceAddress READ deviceAddress WRITE setDeviceAddress NOTIFY deviceAddressChanged)
    /// Follow the client's deviceAddress; true by default.
    Q_PROPERTY(bool useClientDeviceAddress READ useClientDeviceAddress WRITE setUseClientDeviceAddress
               NOTIFY useClientDeviceAddressChanged)
    /// Number of value elements read and written together (an array); values below 1 are ignored.
    Q_PROPERTY(int count READ count WRITE setCount NOTIFY countChanged)
    /// Number of elements in the selected array.
    Q_PROPERTY(int arraySize READ arraySize NOTIFY arraySizeChanged)
    /// A table model of the array or the trend, as modelType says; owned by the item.
    Q_PROPERTY(InternalItemModel *model READ model NOTIFY modelChanged)
    /// Whether model shows the elements of the array or the entries of the trend.
    Q_PROPERTY(ModelType modelType READ modelType WRITE setModelType NOTIFY modelTypeChanged)
    /// True when the bytes come from a read completed after the last change of what the item asks for.
    Q_PROPERTY(bool actualValue READ actualValue NOTIFY actualValueChanged)
    /// Group name, for reading items in bulk by group through the client.
    Q_PROPERTY(QString group READ group WRITE setGroup NOTIFY groupChanged)

public:
    /// Why the bytes changed, as bytesChanged() tells.
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

    /// What the item's table model shows.
    enum ModelType { ArrayModel = 0, TrendModel = 1 };
    Q_ENUM(ModelType)

    /// The model role of the label column: the trend entry's time or the element's index.
    static constexpr int LabelRole = 0x1001F;

    /// An item whose elements are requestItemBytesCount bytes long.
    explicit ModbusItemBase(int requestItemBytesCount, QObject *parent = nullptr);
    ~ModbusItemBase() override;

    // Byte image
    /// The current bytes: element arrayIndex of trend entry trendIndex (the live array at -1); empty when
    /// missing.
    ModbusBytes bytes() const;
    /// Element arrayIndex of the live array.
    ModbusBytes topBytes() const;
    /// The whole array of the selected trend entry (the live one at trendIndex -1).
    ModbusBytesArray bytesArray() const;
    /// The live array: count elements.
    ModbusBytesArray topBytesArray() const { return m_topBytesArray; }
    /// Element arrayIndex of the selected trend entry.
    ModbusBytes arrayBytes(int arrayIndex) const;
    /// Element arrayIndex of trend entry trendIndex (-1: the live array).
    ModbusBytes specifiedBytes(int trendIndex, int arrayIndex) const;
    /// The current bytes as hexadecimal text.
    QString bytesHex() const;
    /// The current value, typed as QML sees it.
    QVariant variantValue() const;
    /// Bytes of one element.
    int requestItemBytesCount() const { return m_requestItemBytesCount; }
    /// Bytes of the whole array: element size times count.
    int requestBytesCount() const;
    /// Bytes of the whole array on the wire (elements padded to whole registers).
    int requestModbusBytesCount() const;
    /// Stores bytes as the current element and signals the change.
    void setBytes(const ModbusBytes &bytes, BytesChangeType type);
    /// Stores array as the selected trend entry (the live array at trendIndex -1) and signals the change.
    void setBytesArray(const ModbusBytesArray &array, BytesChangeType type);
    /// Stores array as the live array and signals the change.
    void setTopBytesArray(const ModbusBytesArray &array, BytesChangeType type);

    // Trend
    /// Getter of the trendSize property.
    int trendSize() const { return m_trendBuffer.size(); }
    /// Getter of the maxTrendSize property.
    int maxTrendSize() const { return m_maxTrendSize; }
    /// Getter of the trendIndex property.
    int trendIndex() const { return m_trendIndex; }
    /// Removes trend entries from to to inclusive.
    void removeTrendItems(int from, int to);
    /// The past values.
    const TrendBytesBuffer &trendBuffer() const { return m_trendBuffer; }
    /// The array of trend entry trendIndex; null when there is none.
    const ModbusBytesArray *trendBytesArray(int trendIndex) const;
    /// Element arrayIndex of trend entry trendIndex; empty when missing.
    ModbusBytes trendBytes(int trendIndex) const;
    /// Trend entry trendIndex; null when there is none.
    const TrendBytesItem *trendItem(int trendIndex) const;
    /// The typed value of trend entry trendIndex.
    QVariant trendValue(int trendIndex) const;

    // Arrays
    /// Getter of the arrayIndex property.
    int arrayIndex() const { return m_arrayIndex; }
    /// Selects the element the item shows.
    void setArrayIndex(int index);
    /// Getter of the arraySize property.
    int arraySize() const;
    /// Getter of the count property.
    int count() const { return m_count; }

    // Model
    /// Getter of the model property.
    InternalItemModel *model() const;
    /// Getter of the modelType property.
    ModelType modelType() const { return m_modelType; }
    /// Setter of the modelType property.
    void setModelType(ModelType type);
    /// The columns of the table model.
    const RoleItems &roles() const { return m_roles; }
    /// Replaces the columns of the table model.
    void setRoles(const RoleItems &roles);
    /// Rows of the table model: elements or trend entries, as modelType says.
    int modelRowsCount() const;
    /// The table model's value of role in row.
    QVariant data(int row, int role) const;
    /// Tells the table model (of type) that rows first to last are about to be inserted.
    void doItemsAboutToBeInserted(ModelType type, int first, int last);
    /// Tells the table model (of type) that the insertion is done.
    void doItemsInserted(ModelType type);
    /// Tells the table model (of type) that rows first to last are about to be removed.
    void doItemsAboutToBeRemoved(ModelType type, int first, int last);
    /// Tells the table model (of type) that the removal is done.
    void doItemsRemoved(ModelType type);
    /// Tells the table model (of type) that its rows are about to be replaced.
    void doAboutToBeReset(ModelType type);
    /// Tells the table model (of type) that its rows were replaced.
    void doReset(ModelType type);
    /// Tells the table model (of type) that rows first to last are about to move before destination.
    void doItemsAboutToBeMoved(ModelType type, int first, int last, int destination);
    /// Tells the table model (of type) that the move is done.
    void doItemsMoved(ModelType type);
    /// Tells the table model (of type) that rows first to last changed.
    void doItemsChanged(ModelType type, int first, int last);

    // Properties
    /// Getter of the binaryValue property.
    QString binaryValue() const { return getBinaryValue(m_binaryBaseLength); }
    /// Getter of the binaryBaseLength property.
    int binaryBaseLength() const { return m_binaryBaseLength; }
    /// Getter of the interval property.
    int interval() const { return m_interval; }
    /// Setter of the interval property.
    void setInterval(int interval);
    /// Getter of the lastReadTime property, in local time.
    QDateTime lastReadTime() const { return m_lastReadTime.toLocalTime(); }
    /// Getter of the lastWriteTime property, in local time.
    QDateTime lastWriteTime() const { return m_lastWriteTime.toLocalTime(); }
    /// Marks the item read-only or writable.
    void setReadOnly(bool readOnly);
    /// Getter of the client property.
    ModbusClient *client() const;
    /// Setter of the client property.
    void setClient(ModbusClient *client);
    /// Getter of the executing property.
    bool executing() const { return m_executing; }
    /// Called by the client as the item's tasks are queued and finished.
    void setExecuting(bool executing);
    /// Getter of the intervalReading property.
    bool intervalReading() const { return m_intervalReading || m_intervalReadingCounter != 0; }
    /// Setter of the intervalReading property.
    void setIntervalReading(bool intervalReading);
    /// Getter of the wasRead property.
    bool wasRead() const { return m_wasRead; }
    /// Setter of the wasRead property.
    void setWasRead(bool wasRead);
    /// Getter of the wasWrite property.
    bool wasWrite() const { return m_wasWrite; }
    /// Setter of the wasWrite property.
    void setWasWrite(bool wasWrite);
    /// Getter of the readAfterWrite property.
    bool readAfterWrite() const { return m_readAfterWrite; }
    /// Setter of the readAfterWrite property.
    void setReadAfterWrite(bool readAfterWrite);
    /// Getter of the readCount property.
    quint64 readCount() const { return m_readCount; }
    /// Getter of the writeCount property.
    quint64 writeCount() const { return m_writeCount; }
    /// Getter of the readingCounter property.
    int readingCounter() const { return m_readingCounter; }
    /// Sets how many reads remain before interval reading stops (0: no limit).
    void setReadingCounter(int readingCounter);
    /// Getter of the force property.
    bool force() const { return m_force; }
    /// Setter of the force property.
    void setForce(bool force);
    /// Getter of the readOnConnect property.
    bool readOnConnect() const { return m_readOnConnect; }
    /// Setter of the readOnConnect property.
    void setReadOnConnect(bool readOnConnect);
    /// Getter of the connected property.
    bool connected() const { return m_connected; }
    /// Getter of the source property.
    ModbusItemBase *source() const { return m_source; }
    /// Setter of the source property.
    void setSource(ModbusItemBase *source);
    /// Getter of the sourceByteIndex property.
    int sourceByteIndex() const { return m_sourceByteIndex; }
    /// Setter of the sourceByteIndex property.
    void setSourceByteIndex(int index);
    /// True once sourceByteIndex was set explicitly.
    bool sourceByteIndexSet() const { return m_sourceByteIndexSet; }
    /// Getter of the sourceTrendIndex property.
    int sourceTrendIndex() const { return m_sourceTrendIndex; }
    /// Setter of the sourceTrendIndex property.
    void setSourceTrendIndex(int index);
    /// Getter of the sourceIndex property.
    int sourceArrayIndex() const { return m_sourceArrayIndex; }
    /// Setter of the sourceIndex property.
    void setSourceArrayIndex(int index);
    /// Getter of the useOptimizing property.
    bool useOptimizing() const { return m_useOptimizing; }
    /// Setter of the useOptimizing property.
    void setUseOptimizing(bool useOptimizing);
    /// Getter of the liveRead property.
    bool liveRead() const { return m_liveRead; }
    /// Setter of the liveRead property.
    void setLiveRead(bool liveRead);
    /// Getter of the liveWrite property.
    bool liveWrite() const { return m_liveWrite; }
    /// Setter of the liveWrite property.
    void setLiveWrite(bool liveWrite);
    /// Getter of the items property.
    QQmlListProperty<ModbusItemBase> items();
    /// The items declared inside this one.
    const QList<ModbusItemBase *> &childItems() const { return m_childItems; }
    /// Getter of the intervalReadingCounter property.
    quint32 intervalReadingCounter() const { return m_intervalReadingCounter; }
    /// Sets the count of open beginReading() calls.
    void setIntervalReadingCounter(quint32 counter);
    /// Getter of the deviceAddress property.
    int deviceAddress() const { return m_deviceAddress; }
    /// Setter of the deviceAddress property.
    void setDeviceAddress(int address);
    /// Getter of the useClientDeviceAddress property.
    bool useClientDeviceAddress() const { return m_useClientDeviceAddress; }
    /// Setter of the useClientDeviceAddress property.
    void setUseClientDeviceAddress(bool use);
    /// Setter of the count property.
    void setCount(int count);
    /// Getter of the actualValue property.
    bool actualValue() const { return m_actualValue; }
    /// Whether a read result must carry exactly count elements to be taken; true by default.
    bool checkReadTaskCount() const { return m_checkReadTaskCount; }
    /// Requires (or not) that a read result carries exactly count elements.
    void setCheckReadTaskCount(bool check) { m_checkReadTaskCount = check; }
    /// Getter of the group property.
    QString group() const { return m_group; }
    /// True when the item's group is one of groups.
    bool containedIn(const QStringList &groups) const;

    /// The table model's value in row and column.
    Q_INVOKABLE QVariant getModelValue(int row, int column) const;
    /// The table model's value in row, column 0.
    Q_INVOKABLE QVariant getModelValue(int row) const;
    /// The table model's value in row for the role named roleName.
    Q_INVOKABLE QVariant getModelValue(int row, const QString &roleName) const;
    /// The header caption of the role named roleName.
    Q_INVOKABLE QString getModelHeader(const QString &roleName) const;
    /// The current bytes in binary digits, padded to baseLength (-1: natural length).
    Q_INVOKABLE QString getBinaryValue(int baseLength) const;
    /// The current bytes in binary digits, at their natural length.
    Q_INVOKABLE QString getBinaryValue() const { return getBinaryValue(-1); }

    /// array as it goes on the wire (elements padded to whole registers where needed).
    virtual ModbusBytesArray getModbusBytes() const;
    /// array as it goes on the wire (elements padded to whole registers where needed).
    virtual ModbusBytesArray getModbusBytes(const ModbusBytesArray &array) const;
    /// Getter of the formatValue property.
    virtual QString formatValue() const = 0;
    /// Setter of the formatValue property.
    virtual void setFormatValue(const QString &value) = 0;
    /// Getter of the readOnly property.
    virtual bool readOnly() const { return m_readOnly; }
    /// Setter of the maxTrendSize property.
    virtual void setMaxTrendSize(int size);
    /// Setter of the trendIndex property.
    virtual void setTrendIndex(int index);
    /// A new task that reads or writes this item, every interval milliseconds (0: once); the caller owns it.
    virtual ModbusTask *createModbusTask(TavrexBus::ModbusTaskType type, int interval) = 0;
    /// Called by the client for each finished task: takes the result over; false when it did not count.
    virtual bool taskCompleted(ModbusTask *task);
    /// Bytes of one element on the wire.
    virtual int requestItemModbusBytesCount() const { return m_requestItemBytesCount; }
    /// Called by the QML engine once every property is set; starts interval reading and runs a read
    /// requested during creation.
    void componentComplete() override;
    /// Adds the live array to the trend under label.
    virtual void insertTopBytesToTrend(const QDateTime &label);
    /// Adds array to the trend under label.
    virtual void insertBytesToTrend(const QDateTime &label, const ModbusBytesArray &array);
    /// bytes decoded as this item's value, typed as QML sees it.
    virtual QVariant getTypedValue(const ModbusBytes &bytes) const = 0;
    /// The table model's value of role for one element's bytes.
    virtual QVariant data(const ModbusBytes &bytes, int role) const;

public Q_SLOTS:
    /// Queues a read on the client; false (with errorString()) when it cannot be queued.
    virtual bool read() { return internalRead(false); }
    /// Queues a write of the current bytes; false (with errorString()) when it cannot be queued.
    virtual bool write() { return internalWrite(nullptr, false); }
    /// Reads and waits for the answer; false (with errorString()) on failure.
    virtual bool readSync() { return internalRead(true); }
    /// Writes the current bytes and waits; false (with errorString()) on failure.
    virtual bool writeSync() { return internalWrite(nullptr, true); }
    /// Queues a write of bytes as the element; the value changes after a later read.
    virtual bool write(const ModbusBytes &bytes);
    /// Queues a write of array as the whole array.
    virtual bool write(const ModbusBytesArray &array) { return internalWrite(&array, false); }
    /// Writes bytes as the element and waits.
    virtual bool writeSync(const ModbusBytes &bytes);
    /// Writes array as the whole array and waits.
    virtual bool writeSync(const ModbusBytesArray &array) { return internalWrite(&array, true); }
    /// Starts interval reading on the client; false without a client.
    virtual bool startReading();
    /// Stops interval reading on the client; false without a client.
    virtual bool stopReading();
    /// Holds interval reading on for this item and its sources until the matching endReading().
    void beginReading();
    /// Releases one beginReading().
    void endReading();
    /// Drops every past value.
    void clearTrend();
    /// Asks the client to drop this item's queued tasks.
    void abortExecuting();
    /// The names of the table model's roles, comma-separated.
    QString getRoleNames() const;
    /// Empties the live array.
    void clearArray();
    /// Setter of the group property.
    void setGroup(const QString &group);
    /// Setter of the binaryBaseLength property.
    void setBinaryBaseLength(int length);

Q_SIGNALS:
    /// formatValue and binaryValue changed.
    void formatValueChanged();
    /// binaryBaseLength changed to length.
    void binaryBaseLengthChanged(int length);
    /// interval changed.
    void intervalChanged();
    /// lastReadTime changed.
    void lastReadTimeChanged();
    /// lastWriteTime changed.
    void lastWriteTimeChanged();
    /// readOnly changed.
    void readOnlyChanged();
    /// client changed.
    void clientChanged();
    /// executing changed.
    void executingChanged();
    /// intervalReading changed.
    void intervalReadingChanged();
    /// wasRead changed.
    void wasReadChanged();
    /// wasWrite changed.
    void wasWriteChanged();
    /// readAfterWrite changed.
    void readAfterWriteChanged();
    /// readCount changed.
    void readCountChanged();
    /// writeCount changed.
    void writeCountChanged();
    /// readingCounter changed.
    void readingCounterChanged();
    /// force changed.
    void forceChanged();
    /// readOnConnect changed.
    void readOnConnectChanged();
    /// connected changed.
    void connectedChanged();
    /// source changed.
    void sourceChanged();
    /// sourceByteIndex changed.
    void sourceByteIndexChanged();
    /// sourceTrendIndex changed.
    void sourceTrendIndexChanged();
    /// sourceIndex changed.
    void sourceArrayIndexChanged();
    /// arrayIndex changed.
    void arrayIndexChanged();
    /// useOptimizing changed.
    void useOptimizingChanged();
    /// liveRead changed.
    void liveReadChanged();
    /// liveWrite changed.
    void liveWriteChanged();
    /// items changed.
    void itemsChanged();
    /// intervalReadingCounter changed.
    void intervalReadingCounterChanged();
    /// trendIndex changed.
    void trendIndexChanged();
    /// maxTrendSize changed.
    void maxTrendSizeChanged();
    /// trendSize changed.
    void trendSizeChanged();
    /// deviceAddress changed.
    void deviceAddressChanged();
    /// useClientDeviceAddress changed.
    void useClientDeviceAddressChanged();
    /// count changed.
    void countChanged();
    /// arraySize changed.
    void arraySizeChanged();
    /// model changed.
    void modelChanged();
    /// modelType changed.
    void modelTypeChanged();
    /// actualValue changed.
    void actualValueChanged();
    /// group changed; the new value is passed.
    void groupChanged(const QString &group);
    /// The bytes changed, for the reason given.
    void bytesChanged(ModbusItemBase::BytesChangeType type);
    /// A read delivered new bytes; label is the moment they stand for.
    void bytesWasRead(const QDateTime &label);
    /// About to queue a read; set cancel to stop it.
    void beforeRead(bool &cancel);
    /// About to queue a write; set cancel to stop it.
    void beforeWrite(bool &cancel);
    /// A read succeeded.
    void afterRead();
    /// A write succeeded.
    void afterWrite();
    /// binaryValue changed because binaryBaseLength changed.
    void binaryValueChanged();
    /// Asks the client to drop item's tasks; the client listens to it.
    void abortExecutingInternal(ModbusItemBase *item);

protected:
    /// Whether anyone takes the time label of a read; a label in local time costs a time-zone look-up.
    bool bytesWasReadConnected() const;
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
    friend class ModbusTask;

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
    // As stamped (the executor stamps in UTC): finding the local zone costs a system call, and most
    // stamps are never looked at.
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
