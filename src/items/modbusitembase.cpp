#include "modbusitembase.h"

#include "internalitemmodel.h"
#include "modbusclient.h"
#include "modbustask.h"

#include <QtCore/qmetaobject.h>
#include <QtCore/qscopedvaluerollback.h>
#include <QtCore/qset.h>

#include <limits>

namespace {

bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    return a == b;
}

bool sameArrays(const ModbusBytesArray &a, const ModbusBytesArray &b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(), sameBytes);
}

QString binaryText(const QVariant &value, const ModbusBytes &bytes)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return QString::number(value.toLongLong(), 2);
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return QString::number(value.toULongLong(), 2);
    case QMetaType::Float:
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 2);
    default:
        return bytes.toBinary();
    }
}

} // namespace

ModbusItemBase::ModbusItemBase(int requestItemBytesCount, QObject *parent)
    : ErrObject(parent),
      m_lastReadTime(QDateTime::fromMSecsSinceEpoch(0, Qt::UTC)),
      m_lastWriteTime(QDateTime::fromMSecsSinceEpoch(0, Qt::UTC)),
      m_requestItemBytesCount(requestItemBytesCount)
{
    m_roles = defaultRoles();
    m_modelRoles = m_roles;
    m_topBytesArray.append(ModbusBytes::fromSize(requestItemBytesCount, 0));
}

// Every item starts with the same two roles; sharing one table keeps idle items small.
RoleItems ModbusItemBase::defaultRoles()
{
    static const RoleItems roles{RoleItem(LabelRole, "label", tr("Label")), RoleItem(0, "value", tr("Value"))};
    return roles;
}

// The model is made when somebody first looks at it: most items are never shown as a table,
// and a model costs more memory than the rest of the item.
InternalItemModel *ModbusItemBase::model() const
{
    if (!m_model) {
        auto *self = const_cast<ModbusItemBase *>(this);
        self->m_model = new InternalItemModel(*this, self);
        m_model->setRoles(m_modelRoles);
    }
    return m_model;
}

ModbusItemBase::~ModbusItemBase()
{
    detachClient();
    if (m_source)
        unRegisterSource(m_source);
    delete m_model;
    m_model = nullptr;
}

// ---- byte image -------------------------------------------------------------------------------

ModbusBytes ModbusItemBase::bytes() const
{
    return specifiedBytes(m_trendIndex, m_arrayIndex);
}

ModbusBytes ModbusItemBase::topBytes() const
{
    return specifiedBytes(-1, m_arrayIndex);
}

ModbusBytesArray ModbusItemBase::bytesArray() const
{
    const ModbusBytesArray *array = trendBytesArray(m_trendIndex);
    return array ? *array : ModbusBytesArray();
}

ModbusBytes ModbusItemBase::arrayBytes(int arrayIndex) const
{
    return specifiedBytes(m_trendIndex, arrayIndex);
}

ModbusBytes ModbusItemBase::specifiedBytes(int trendIndex, int arrayIndex) const
{
    const ModbusBytesArray *array = trendBytesArray(trendIndex);
    if (!array || arrayIndex < 0 || arrayIndex >= array->size())
        return ModbusBytes();
    return array->at(arrayIndex);
}

QString ModbusItemBase::bytesHex() const
{
    return QString::fromLatin1(bytes().toHex());
}

QVariant ModbusItemBase::variantValue() const
{
    return getTypedValue(topBytes());
}

int ModbusItemBase::requestBytesCount() const
{
    return m_requestItemBytesCount * m_count;
}

int ModbusItemBase::requestModbusBytesCount() const
{
    return requestItemModbusBytesCount() * m_count;
}

ModbusBytesArray *ModbusItemBase::selectedArray()
{
    if (m_trendIndex == -1)
        return &m_topBytesArray;
    if (m_trendIndex >= 0 && m_trendIndex < m_trendBuffer.size())
        return &m_trendBuffer[m_trendIndex]->bytes;
    return nullptr;
}

void ModbusItemBase::setBytes(const ModbusBytes &bytes, BytesChangeType type)
{
    ModbusBytesArray *array = selectedArray();
    if (!array || m_arrayIndex < 0 || m_arrayIndex >= array->size() || sameBytes(array->at(m_arrayIndex), bytes))
        return;
    (*array)[m_arrayIndex] = bytes;
    if (m_trendIndex >= 0)
        doItemsChanged(TrendModel, m_trendIndex, m_trendIndex);
    doItemsChanged(ArrayModel, m_arrayIndex, m_arrayIndex);
    currentBytesChanged(type);
}

void ModbusItemBase::setBytesArray(const ModbusBytesArray &array, BytesChangeType type)
{
    ModbusBytesArray *target = selectedArray();
    if (!target || sameArrays(*target, array))
        return;
    assignArray(target, true, m_trendIndex, array, type);
}

void ModbusItemBase::setTopBytesArray(const ModbusBytesArray &array, BytesChangeType type)
{
    assignArray(&m_topBytesArray, m_trendIndex == -1, -1, array, type);
}

void ModbusItemBase::assignArray(ModbusBytesArray *target, bool selected, int trendRow,
                                 const ModbusBytesArray &array, BytesChangeType type)
{
    const int oldSize = target->size();
    const ModbusBytes oldBytes = bytes();
    if (selected)
        doAboutToBeReset(ArrayModel);
    *target = array;
    if (!sameBytes(bytes(), oldBytes))
        currentBytesChanged(type);
    if (selected)
        doReset(ArrayModel);
    if (trendRow >= 0)
        doItemsChanged(TrendModel, trendRow, trendRow);
    if (selected && array.size() != oldSize)
        emit arraySizeChanged();
}

void ModbusItemBase::currentBytesChanged(BytesChangeType type)
{
    bytesWasChanged();
    if (type != ValueChange) {
        updateValueFromBytes();
        emit binaryValueChanged();
        if (type == SourceChange) {
            emit bytesChanged(SourceChange);
            return;
        }
    }
    if (m_source && !readOnly())
        modifySourceBytes();
    emit bytesChanged(type);
    if (type != ReadChange && m_liveWrite && !readOnly())
        write();
}

void ModbusItemBase::clearArray()
{
    setBytesArray(ModbusBytesArray(), InternalChange);
}

void ModbusItemBase::setRequestItemBytesCount(int count)
{
    if (count == m_requestItemBytesCount)
        return;
    m_requestItemBytesCount = count;
    receiveBytesFromSource();
    reinitIntervalReading();
}

ModbusBytesArray ModbusItemBase::getModbusBytes() const
{
    return getModbusBytes(m_topBytesArray);
}

ModbusBytesArray ModbusItemBase::getModbusBytes(const ModbusBytesArray &array) const
{
    return array;
}

void ModbusItemBase::bytesWasChanged()
{
}

// ---- reading and writing ----------------------------------------------------------------------

bool ModbusItemBase::internalRead(bool sync)
{
    if (initializing()) {
        m_readPending = true;
        return false;
    }
    if (m_readGuard)
        return false;
    // A beforeRead handler may delete the item: the guard is only lowered on a live item.
    const QPointer<ModbusItemBase> alive(this);
    m_readGuard = true;
    const bool started = [&] {
        setActualValue(false);
        if (m_source)
            return m_source->internalRead(sync);
        if (!m_client) {
            setErrorString(tr("you should assign 'client' - property"));
            return false;
        }
        bool cancel = false;
        emit beforeRead(cancel);
        return !cancel && alive && internalReading(sync);
    }();
    if (alive)
        m_readGuard = false;
    return started;
}

bool ModbusItemBase::internalWrite(const ModbusBytesArray *bytes, bool sync)
{
    if (initializing() || m_writeGuard)
        return false;
    const QScopedValueRollback<bool> guard(m_writeGuard, true);
    if (readOnly()) {
        setErrorString(tr("can't write: object is readonly"));
        return false;
    }
    if (m_source)
        return m_source->internalWrite(nullptr, sync);
    if (!m_client) {
        setErrorString(tr("you should assign 'client' - property"));
        return false;
    }
    bool cancel = false;
    emit beforeWrite(cancel);
    if (cancel)
        return false;
    return internalWriting(bytes, sync);
}

bool ModbusItemBase::internalReading(bool sync)
{
    ModbusTask *task = createModbusTask(TavrexBus::ReadTask, 0);
    if (!task)
        return false;
    taskCreated(task);
    if (sync)
        return m_client->executeTaskSync(task);
    m_client->executeTask(task);
    return true;
}

bool ModbusItemBase::internalWriting(const ModbusBytesArray *bytes, bool sync)
{
    ModbusTask *task = createModbusTask(TavrexBus::WriteTask, 0);
    if (!task)
        return false;
    if (bytes)
        task->setBytes(getModbusBytes(*bytes));
    taskCreated(task);
    if (sync)
        return m_client->executeTaskSync(task);
    m_client->executeTask(task);
    return true;
}

bool ModbusItemBase::write(const ModbusBytes &bytes)
{
    return write(bytes.splitBySize(requestItemModbusBytesCount(), m_count));
}

bool ModbusItemBase::writeSync(const ModbusBytes &bytes)
{
    return writeSync(bytes.splitBySize(requestItemModbusBytesCount(), m_count));
}

void ModbusItemBase::taskCreated(ModbusTask *task)
{
    Q_UNUSED(task);
}

bool ModbusItemBase::taskCompleted(ModbusTask *task)
{
    if (!task || !m_client || m_source)
        return false;
    if (task->state() != TavrexBus::TaskDone) {
        setErrorString(task->errorString());
        return false;
    }
    if (!checkValidResultTask(task))
        return false;
    if (task->type() == TavrexBus::ReadTask) {
        applyResultTask(*task);
        setLastReadTime(task->lastProcessTime());
        onAfterReadTask(*task);
        setActualValue(true);
    } else {
        setLastWriteTime(task->lastProcessTime());
        onAfterWriteTask(*task);
    }
    return true;
}

bool ModbusItemBase::checkValidResultTask(ModbusTask *task)
{
    if (task->force() != m_force)
        return false;
    if (!m_checkReadTaskCount)
        return true;
    if (task->count() != m_count)
        return false;
    // An answer that does not fill every element belongs to another request shape.
    return task->type() != TavrexBus::ReadTask || task->firstBytes().size() == m_count;
}

bool ModbusItemBase::bytesWasReadConnected() const
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&ModbusItemBase::bytesWasRead);
    return isSignalConnected(signal);
}

// The clock is read only when the read is labelled: most items are polled without a trend or a
// listener, and local time costs a time-zone look-up on every call.
void ModbusItemBase::applyResultTask(const ModbusTask &task)
{
    setTopBytesArray(task.firstBytes(), ReadChange);
    const bool trended = m_maxTrendSize >= 1;
    if (!trended && !bytesWasReadConnected())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    if (trended)
        insertTopBytesToTrend(now);
    emit bytesWasRead(now);
}

void ModbusItemBase::onAfterReadTask(const ModbusTask &task)
{
    Q_UNUSED(task);
    setWasRead(true);
    ++m_readCount;
    emit readCountChanged();
    if (m_readingCounter > 0) {
        setReadingCounter(m_readingCounter - 1);
        if (m_readingCounter < 1)
            setIntervalReading(false);
    }
    emit afterRead();
}

void ModbusItemBase::onAfterWriteTask(const ModbusTask &task)
{
    Q_UNUSED(task);
    setWasWrite(true);
    ++m_writeCount;
    emit writeCountChanged();
    emit afterWrite();
    if (m_readAfterWrite)
        read();
}

void ModbusItemBase::needValueRead()
{
    setActualValue(false);
    if (!m_source && m_liveRead && m_connected)
        read();
}

void ModbusItemBase::abortExecuting()
{
    emit abortExecutingInternal(this);
    if (m_client)
        emit m_client->abortExecuting(this);
}

// ---- interval reading -------------------------------------------------------------------------

void ModbusItemBase::reinitIntervalReading()
{
    // QML sets properties one by one; the periodic request is formed once, at completion.
    if (initializing() || !m_client)
        return;
    stopReading();
    if (intervalReading() && !m_source)
        startReading();
}

bool ModbusItemBase::startReading()
{
    if (!m_client) {
        setErrorString(tr("you should assign 'client' - property"));
        return false;
    }
    ModbusTask *task = createModbusTask(TavrexBus::ReadTask, m_interval);
    if (!task)
        return false;
    taskCreated(task);
    m_client->startExecutingIntervalTask(task);
    return true;
}

bool ModbusItemBase::stopReading()
{
    if (!m_client) {
        setErrorString(tr("you should assign 'client' - property"));
        return false;
    }
    m_client->stopExecutingIntervalTask(this);
    return true;
}

void ModbusItemBase::beginReading()
{
    QSet<ModbusItemBase *> visited;
    for (ModbusItemBase *item = this; item && !visited.contains(item); item = item->m_source) {
        visited.insert(item);
        if (item->m_intervalReadingCounter < std::numeric_limits<quint32>::max())
            item->setIntervalReadingCounter(item->m_intervalReadingCounter + 1);
    }
}

void ModbusItemBase::endReading()
{
    QSet<ModbusItemBase *> visited;
    for (ModbusItemBase *item = this; item && !visited.contains(item); item = item->m_source) {
        visited.insert(item);
        if (item->m_intervalReadingCounter > 0)
            item->setIntervalReadingCounter(item->m_intervalReadingCounter - 1);
    }
}

void ModbusItemBase::setIntervalReadingCounter(quint32 counter)
{
    if (counter == m_intervalReadingCounter)
        return;
    const bool wasReading = intervalReading();
    m_intervalReadingCounter = counter;
    emit intervalReadingCounterChanged();
    if (wasReading != intervalReading()) {
        if (!m_source)
            reinitIntervalReading();
        emit intervalReadingChanged();
    }
}

void ModbusItemBase::setIntervalReading(bool intervalReading)
{
    const bool wasReading = this->intervalReading();
    m_intervalReading = intervalReading;
    if (wasReading != this->intervalReading()) {
        reinitIntervalReading();
        emit intervalReadingChanged();
    }
}

// ---- client -----------------------------------------------------------------------------------

ModbusClient *ModbusItemBase::client() const
{
    return m_client;
}

void ModbusItemBase::setClient(ModbusClient *client)
{
    if (client == m_client)
        return;
    detachClient();
    m_client = client;
    updateConnected();
    if (client) {
        registerClient(client);
        client->registerItem(this);
        reinitIntervalReading();
    }
    updateConnected();
    emit clientChanged();
}

void ModbusItemBase::detachClient()
{
    if (!m_client)
        return;
    ModbusClient *old = m_client;
    unRegisterClient(old);
    if (intervalReading())
        old->stopExecutingIntervalTask(this);
    old->unRegisterItem(this);
    m_client = nullptr;
}

void ModbusItemBase::registerClient(ModbusClient *client)
{
    client->attachItem(this);
    if (m_useClientDeviceAddress)
        takeClientDeviceAddress();
}

void ModbusItemBase::unRegisterClient(ModbusClient *client)
{
    client->detachItem(this);
}

// Called by the client as it goes, while the item is still attached to it.
void ModbusItemBase::onClientDestroyed()
{
    if (!m_client)
        return;
    m_client = nullptr;
    updateConnected();
    emit clientChanged();
}

void ModbusItemBase::updateConnected()
{
    setConnected(m_client ? m_client->connected() : false);
}

void ModbusItemBase::setConnected(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    emit connectedChanged();
    // Losing the client also disconnects; there is nothing to read from then.
    if ((m_readOnConnect || m_liveRead) && m_client)
        read();
}

void ModbusItemBase::setExecuting(bool executing)
{
    if (executing == m_executing)
        return;
    m_executing = executing;
    emit executingChanged();
}

void ModbusItemBase::setDeviceAddress(int address)
{
    setUseClientDeviceAddress(false);
    storeDeviceAddress(address);
}

void ModbusItemBase::storeDeviceAddress(int address)
{
    if (!acceptDeviceAddress(address, m_deviceAddress))
        return;
    emit deviceAddressChanged();
    reinitIntervalReading();
    needValueRead();
}

void ModbusItemBase::setUseClientDeviceAddress(bool use)
{
    if (use == m_useClientDeviceAddress)
        return;
    m_useClientDeviceAddress = use;
    emit useClientDeviceAddressChanged();
    if (use)
        takeClientDeviceAddress();
}

void ModbusItemBase::takeClientDeviceAddress()
{
    if (m_client)
        storeDeviceAddress(m_client->deviceAddress());
}

void ModbusItemBase::onClientDeviceAddressChanged()
{
    if (m_useClientDeviceAddress)
        takeClientDeviceAddress();
}

// ---- groups -----------------------------------------------------------------------------------

bool ModbusItemBase::containedIn(const QStringList &groups) const
{
    return (m_group.isEmpty() && groups.isEmpty()) || groups.contains(m_group);
}

void ModbusItemBase::onReadingAll(const QHash<QString, bool> &exceptGroups)
{
    if (m_connected && (m_group.isEmpty() || !exceptGroups.contains(m_group)))
        read();
}

void ModbusItemBase::onReadingGroups(const QHash<QString, bool> &groups)
{
    if (m_connected && (groups.isEmpty() ? m_group.isEmpty() : groups.contains(m_group)))
        read();
}

void ModbusItemBase::onCollectItems(QList<ModbusItemBase *> &list, const QStringList &groups)
{
    if (containedIn(groups))
        list.append(this);
}

void ModbusItemBase::onCountItems(int &result, const QStringList &groups)
{
    if (containedIn(groups))
        ++result;
}

void ModbusItemBase::setGroup(const QString &group)
{
    if (group == m_group)
        return;
    m_group = group;
    emit groupChanged(group);
}

// ---- binary value -----------------------------------------------------------------------------

QString ModbusItemBase::getBinaryValue(int baseLength) const
{
    QString text = binaryText(variantValue(), bytes());
    if (baseLength < 0)
        return text;
    if (text.size() > baseLength) {
        qsizetype zeros = 0;
        while (zeros < text.size() && text.at(zeros) == u'0')
            ++zeros;
        text.remove(0, zeros);
    }
    return text.rightJustified(baseLength, u'0');
}

void ModbusItemBase::setBinaryBaseLength(int length)
{
    if (length == m_binaryBaseLength)
        return;
    m_binaryBaseLength = length;
    emit binaryBaseLengthChanged(length);
    emit binaryValueChanged();
}

// ---- QML lifecycle ----------------------------------------------------------------------------

void ModbusItemBase::componentComplete()
{
    MyDeclarativeParserStatus::componentComplete();
    reinitIntervalReading();
    if (m_readPending) {
        m_readPending = false;
        read();
    }
}

// ---- plain properties -------------------------------------------------------------------------

void ModbusItemBase::setInterval(int interval)
{
    if (interval == m_interval)
        return;
    m_interval = interval;
    reinitIntervalReading();
    emit intervalChanged();
}

void ModbusItemBase::setLastReadTime(const QDateTime &time)
{
    if (time == m_lastReadTime)
        return;
    m_lastReadTime = time;
    emit lastReadTimeChanged();
}

void ModbusItemBase::setLastWriteTime(const QDateTime &time)
{
    if (time == m_lastWriteTime)
        return;
    m_lastWriteTime = time;
    emit lastWriteTimeChanged();
}

void ModbusItemBase::setReadOnly(bool readOnly)
{
    if (readOnly == m_readOnly)
        return;
    m_readOnly = readOnly;
    emit readOnlyChanged();
}

void ModbusItemBase::setWasRead(bool wasRead)
{
    if (wasRead == m_wasRead)
        return;
    m_wasRead = wasRead;
    emit wasReadChanged();
}

void ModbusItemBase::setWasWrite(bool wasWrite)
{
    if (wasWrite == m_wasWrite)
        return;
    m_wasWrite = wasWrite;
    emit wasWriteChanged();
}

void ModbusItemBase::setReadAfterWrite(bool readAfterWrite)
{
    if (readAfterWrite == m_readAfterWrite)
        return;
    m_readAfterWrite = readAfterWrite;
    emit readAfterWriteChanged();
}

void ModbusItemBase::setReadingCounter(int readingCounter)
{
    if (readingCounter == m_readingCounter)
        return;
    m_readingCounter = readingCounter;
    emit readingCounterChanged();
}

void ModbusItemBase::setForce(bool force)
{
    if (force == m_force)
        return;
    m_force = force;
    emit forceChanged();
}

void ModbusItemBase::setReadOnConnect(bool readOnConnect)
{
    if (readOnConnect == m_readOnConnect)
        return;
    m_readOnConnect = readOnConnect;
    emit readOnConnectChanged();
}

void ModbusItemBase::setUseOptimizing(bool useOptimizing)
{
    if (useOptimizing == m_useOptimizing)
        return;
    m_useOptimizing = useOptimizing;
    reinitIntervalReading();
    emit useOptimizingChanged();
}

void ModbusItemBase::setLiveRead(bool liveRead)
{
    if (liveRead == m_liveRead)
        return;
    m_liveRead = liveRead;
    emit liveReadChanged();
}

void ModbusItemBase::setLiveWrite(bool liveWrite)
{
    if (liveWrite == m_liveWrite)
        return;
    m_liveWrite = liveWrite;
    emit liveWriteChanged();
}

void ModbusItemBase::setCount(int count)
{
    if (count == m_count || count < 1)
        return;
    m_count = count;
    receiveBytesFromSource();
    reinitIntervalReading();
    emit countChanged();
    needValueRead();
}

void ModbusItemBase::setActualValue(bool actual)
{
    if (actual == m_actualValue)
        return;
    m_actualValue = actual;
    emit actualValueChanged();
}

void ModbusItemBase::setModelType(ModelType type)
{
    if (type == m_modelType)
        return;
    m_modelType = type;
    emit modelTypeChanged();
}

// ---- trend ------------------------------------------------------------------------------------

const ModbusBytesArray *ModbusItemBase::trendBytesArray(int trendIndex) const
{
    if (trendIndex == -1)
        return &m_topBytesArray;
    if (trendIndex >= 0 && trendIndex < m_trendBuffer.size())
        return &m_trendBuffer.at(trendIndex)->bytes;
    return nullptr;
}

ModbusBytes ModbusItemBase::trendBytes(int trendIndex) const
{
    return specifiedBytes(trendIndex, m_arrayIndex);
}

const TrendBytesItem *ModbusItemBase::trendItem(int trendIndex) const
{
    return trendIndex >= 0 && trendIndex < m_trendBuffer.size() ? m_trendBuffer.at(trendIndex) : nullptr;
}

QVariant ModbusItemBase::trendValue(int trendIndex) const
{
    const ModbusBytesArray *array = trendBytesArray(trendIndex);
    if (!array || m_arrayIndex < 0 || m_arrayIndex >= array->size())
        return QVariant();
    return getTypedValue(array->at(m_arrayIndex));
}

void ModbusItemBase::insertTopBytesToTrend(const QDateTime &label)
{
    insertBytesToTrend(label, m_topBytesArray);
}

void ModbusItemBase::insertBytesToTrend(const QDateTime &label, const ModbusBytesArray &array)
{
    const int existing = m_trendBuffer.indexOf(label);
    if (existing >= 0) {
        const bool selected = existing == m_trendIndex;
        if (selected)
            doAboutToBeReset(ArrayModel);
        m_trendBuffer[existing]->label = label;
        m_trendBuffer[existing]->bytes = array;
        if (selected)
            doReset(ArrayModel);
        doItemsChanged(TrendModel, existing, existing);
        if (selected)
            currentBytesChanged(TrendIndexChange);
        return;
    }

    const int size = m_trendBuffer.size();
    bool reset = false;
    bool removed = false;
    if (size >= m_maxTrendSize && size >= 1) {
        reset = true;
        doAboutToBeReset(ArrayModel);
        const int victim = m_trendBuffer.last()->label < label ? 0 : size - 1;
        doItemsAboutToBeRemoved(TrendModel, victim, victim);
        delete m_trendBuffer.takeAt(victim);
        doItemsRemoved(TrendModel);
        removed = true;
    } else if (m_trendIndex == size) {
        reset = true;
        doAboutToBeReset(ArrayModel);
    }

    int position = m_trendBuffer.size();
    while (position > 0 && !(m_trendBuffer.at(position - 1)->label < label))
        --position;
    doItemsAboutToBeInserted(TrendModel, position, position);
    m_trendBuffer.insert(position, new TrendBytesItem(label, array));
    doItemsInserted(TrendModel);

    if (reset)
        doReset(ArrayModel);
    if (!removed)
        emit trendSizeChanged();
    else if (m_trendIndex > 0)
        currentBytesChanged(TrendIndexChange);
}

void ModbusItemBase::setMaxTrendSize(int size)
{
    if (size == m_maxTrendSize || size < 0)
        return;
    m_maxTrendSize = size;
    if (m_trendBuffer.size() > size)
        resizeTrendBytes(size);
    emit maxTrendSizeChanged();
}

void ModbusItemBase::clearTrend()
{
    if (!m_trendBuffer.isEmpty())
        resizeTrendBytes(0);
}

void ModbusItemBase::resizeTrendBytes(int size)
{
    const int oldSize = m_trendBuffer.size();
    if (size >= oldSize)
        return;
    if (size == 0) {
        doAboutToBeReset(TrendModel);
        m_trendBuffer.clearWithDelete();
        doReset(TrendModel);
    } else {
        doItemsAboutToBeRemoved(TrendModel, 0, oldSize - size - 1);
        while (m_trendBuffer.size() > size)
            delete m_trendBuffer.takeFirst();
        doItemsRemoved(TrendModel);
    }
    emit trendSizeChanged();
    followShrunkTrend();
}

void ModbusItemBase::followShrunkTrend()
{
    if (m_trendIndex < 0)
        return;
    if (m_trendIndex >= m_trendBuffer.size()) {
        m_trendIndex = m_trendBuffer.size() - 1;
        emit trendIndexChanged();
    }
    currentBytesChanged(TrendIndexChange);
}

void ModbusItemBase::removeTrendItems(int from, int to)
{
    if (from < 0 || to < from || from >= m_trendBuffer.size())
        return;
    to = qMin(to, int(m_trendBuffer.size()) - 1);
    doItemsAboutToBeRemoved(TrendModel, from, to);
    for (int i = from; i <= to; ++i)
        delete m_trendBuffer.takeAt(from);
    doItemsRemoved(TrendModel);
    emit trendSizeChanged();
    followShrunkTrend();
}

void ModbusItemBase::setTrendIndex(int index)
{
    if (index == m_trendIndex || index < -1 || index >= m_trendBuffer.size())
        return;
    doAboutToBeReset(ArrayModel);
    const ModbusBytesArray oldArray = bytesArray();
    m_trendIndex = index;
    const ModbusBytesArray newArray = bytesArray();
    if (!sameArrays(oldArray, newArray))
        currentBytesChanged(TrendIndexChange);
    doReset(ArrayModel);
    if (oldArray.size() != newArray.size())
        emit arraySizeChanged();
    emit trendIndexChanged();
}

// ---- arrays -----------------------------------------------------------------------------------

int ModbusItemBase::arraySize() const
{
    const ModbusBytesArray *array = trendBytesArray(m_trendIndex);
    return array ? int(array->size()) : 0;
}

void ModbusItemBase::setArrayIndex(int index)
{
    if (index == m_arrayIndex || index < 0)
        return;
    const int size = arraySize();
    const bool hadOld = m_arrayIndex < size;
    const bool hasNew = index < size;
    const bool same = hadOld == hasNew && (!hadOld || sameBytes(arrayBytes(m_arrayIndex), arrayBytes(index)));
    m_arrayIndex = index;
    if (!same)
        currentBytesChanged(ArrayIndexChange);
    emit arrayIndexChanged();
}

// ---- views ------------------------------------------------------------------------------------

void ModbusItemBase::setSource(ModbusItemBase *source)
{
    if (source == m_source || source == this)
        return;
    if (m_source)
        unRegisterSource(m_source);
    m_source = source;
    if (source) {
        registerSource(source);
        receiveBytesFromSource();
    } else if (m_liveRead) {
        read();
    }
    reinitIntervalReading();
    emit sourceChanged();
}

void ModbusItemBase::registerSource(ModbusItemBase *source)
{
    connect(source, &ModbusItemBase::bytesChanged, this, &ModbusItemBase::onSourceBytesChanged);
    connect(source, &ModbusItemBase::bytesWasRead, this, &ModbusItemBase::onSourceBytesWasRead);
    connect(source, &QObject::destroyed, this, &ModbusItemBase::onSourceDestroyed);
    connect(source, &ModbusItemBase::afterRead, this, &ModbusItemBase::afterRead);
    connect(source, &ModbusItemBase::afterWrite, this, &ModbusItemBase::afterWrite);
}

void ModbusItemBase::unRegisterSource(ModbusItemBase *source)
{
    disconnect(source, nullptr, this, nullptr);
}

void ModbusItemBase::onSourceDestroyed()
{
    // The guarded pointer already reads null; only the consequences of losing the source remain.
    reinitIntervalReading();
    emit sourceChanged();
}

void ModbusItemBase::receiveBytesFromSource()
{
    if (!m_source)
        return;
    ModbusBytesArray array;
    if (m_sourceTrendIndex < -1 || m_sourceTrendIndex >= m_source->trendSize() || m_sourceArrayIndex < -1) {
        array.append(ModbusBytes::fromSize(requestBytesCount(), 0));
    } else {
        const ModbusBytesArray &sourceArray = *m_source->trendBytesArray(m_sourceTrendIndex);
        if (m_sourceArrayIndex == -1) {
            for (const ModbusBytes &element : sourceArray)
                array.append(getBytesFromSourceBytes(element));
        } else if (m_sourceArrayIndex < sourceArray.size()) {
            array.append(getBytesFromSourceBytes(sourceArray.at(m_sourceArrayIndex)));
        }
    }
    newBytesFromSource(array);
}

ModbusBytes ModbusItemBase::getBytesFromSourceBytes(const ModbusBytes &bytes) const
{
    ModbusBytes result = ModbusBytes::fromOther(bytes, m_sourceByteIndex, requestItemModbusBytesCount());
    if (result.size() < m_requestItemBytesCount)
        result.resize(m_requestItemBytesCount, true);
    return result;
}

void ModbusItemBase::newBytesFromSource(const ModbusBytesArray &array)
{
    setTopBytesArray(array, SourceChange);
}

void ModbusItemBase::modifySourceBytes()
{
    if (!m_source)
        return;
    ModbusBytes copy = m_source->bytes();
    copy.setBytes(bytes(), m_sourceByteIndex, -1);
    m_source->setBytes(copy, ViewChange);
}

void ModbusItemBase::onSourceBytesChanged(BytesChangeType type)
{
    Q_UNUSED(type);
    if (m_sourceTrendIndex == -1)
        receiveBytesFromSource();
}

void ModbusItemBase::onSourceBytesWasRead(const QDateTime &label)
{
    if (m_maxTrendSize > 0)
        insertTopBytesToTrend(label);
    if (m_sourceTrendIndex >= 0)
        receiveBytesFromSource();
    emit bytesWasRead(label);
}

void ModbusItemBase::setSourceByteIndex(int index)
{
    m_sourceByteIndexSet = true;
    if (index == m_sourceByteIndex)
        return;
    m_sourceByteIndex = index;
    receiveBytesFromSource();
    emit sourceByteIndexChanged();
}

void ModbusItemBase::setSourceTrendIndex(int index)
{
    if (index == m_sourceTrendIndex)
        return;
    m_sourceTrendIndex = index;
    receiveBytesFromSource();
    emit sourceTrendIndexChanged();
}

void ModbusItemBase::setSourceArrayIndex(int index)
{
    if (index == m_sourceArrayIndex || index < 0)
        return;
    m_sourceArrayIndex = index;
    receiveBytesFromSource();
    emit sourceArrayIndexChanged();
}

// ---- child items ------------------------------------------------------------------------------

QQmlListProperty<ModbusItemBase> ModbusItemBase::items()
{
    return QQmlListProperty<ModbusItemBase>(this, nullptr, &ModbusItemBase::itemsAppend,
                                            &ModbusItemBase::itemsCount, &ModbusItemBase::itemsAt,
                                            &ModbusItemBase::itemsClear);
}

void ModbusItemBase::appendChild(ModbusItemBase *child)
{
    if (!child || child == this)
        return;
    child->setParent(this);
    m_childItems.append(child);
    connect(child, &QObject::destroyed, this, [this, child] { m_childItems.removeAll(child); });
    emit itemsChanged();
    if (!child->source())
        child->setSource(this);
    if (!child->m_sourceByteIndexSet) {
        int index = 0;
        if (m_childItems.size() > 1) {
            const ModbusItemBase *previous = m_childItems.at(m_childItems.size() - 2);
            index = previous->sourceByteIndex() + previous->requestItemModbusBytesCount();
        }
        child->setSourceByteIndex(index);
    }
    child->setReadOnly(readOnly());
}

void ModbusItemBase::clearChildren()
{
    const QList<ModbusItemBase *> children = std::exchange(m_childItems, {});
    qDeleteAll(children);
    emit itemsChanged();
}

void ModbusItemBase::itemsAppend(QQmlListProperty<ModbusItemBase> *list, ModbusItemBase *item)
{
    static_cast<ModbusItemBase *>(list->object)->appendChild(item);
}

qsizetype ModbusItemBase::itemsCount(QQmlListProperty<ModbusItemBase> *list)
{
    return static_cast<ModbusItemBase *>(list->object)->m_childItems.size();
}

ModbusItemBase *ModbusItemBase::itemsAt(QQmlListProperty<ModbusItemBase> *list, qsizetype index)
{
    const auto &children = static_cast<ModbusItemBase *>(list->object)->m_childItems;
    return index >= 0 && index < children.size() ? children.at(index) : nullptr;
}

void ModbusItemBase::itemsClear(QQmlListProperty<ModbusItemBase> *list)
{
    static_cast<ModbusItemBase *>(list->object)->clearChildren();
}

// ---- model ------------------------------------------------------------------------------------

void ModbusItemBase::setRoles(const RoleItems &roles)
{
    m_modelRoles = roles;
    if (m_model)
        m_model->setRoles(roles);
}

int ModbusItemBase::modelRowsCount() const
{
    return m_modelType == ArrayModel ? arraySize() : trendSize();
}

QVariant ModbusItemBase::data(int row, int role) const
{
    if (m_modelType == ArrayModel)
        return row >= 0 && row < arraySize() ? data(arrayBytes(row), role) : QVariant();
    if (row < 0 || row >= trendSize())
        return QVariant();
    if (role == LabelRole)
        return m_trendBuffer.at(row)->label;
    return data(trendBytes(row), role);
}

QVariant ModbusItemBase::data(const ModbusBytes &bytes, int role) const
{
    return role == 0 ? getTypedValue(bytes) : QVariant();
}

QVariant ModbusItemBase::getModelValue(int row, int column) const
{
    if (column < 0 || column >= m_roles.size())
        return QVariant();
    return data(row, m_modelRoles.value(column, RoleItem(-1, {}, {})).role);
}

QVariant ModbusItemBase::getModelValue(int row) const
{
    return getModelValue(row, 0);
}

QVariant ModbusItemBase::getModelValue(int row, const QString &roleName) const
{
    const int index = m_roles.indexOf(roleName);
    return index < 0 ? QVariant() : data(row, m_roles.at(index).role);
}

QString ModbusItemBase::getModelHeader(const QString &roleName) const
{
    const int index = m_roles.indexOf(roleName);
    return index < 0 ? QString() : m_roles.at(index).header;
}

QString ModbusItemBase::getRoleNames() const
{
    QString names;
    const QHash<int, QByteArray> roleNames = model()->roleNames();
    for (const QByteArray &name : roleNames)
        names += QString::fromUtf8(name) + u' ';
    return names;
}

void ModbusItemBase::doItemsAboutToBeInserted(ModelType type, int first, int last)
{
    if (type == m_modelType && m_model)
        m_model->doItemsAboutToBeInserted(first, last);
}

void ModbusItemBase::doItemsInserted(ModelType type)
{
    if (type == m_modelType && m_model)
        m_model->doItemsInserted();
}

void ModbusItemBase::doItemsAboutToBeRemoved(ModelType type, int first, int last)
{
    if (type == m_modelType && m_model)
        m_model->doItemsAboutToBeRemoved(first, last);
}

void ModbusItemBase::doItemsRemoved(ModelType type)
{
    if (type == m_modelType && m_model)
        m_model->doItemsRemoved();
}

void ModbusItemBase::doAboutToBeReset(ModelType type)
{
    if (type == m_modelType && m_model)
        m_model->doAboutToBeReset();
}

void ModbusItemBase::doReset(ModelType type)
{
    if (type == m_modelType && m_model)
        m_model->doReset();
}

void ModbusItemBase::doItemsAboutToBeMoved(ModelType type, int first, int last, int destination)
{
    if (type == m_modelType && m_model)
        m_model->doItemsAboutToBeMoved(first, last, destination);
}

void ModbusItemBase::doItemsMoved(ModelType type)
{
    if (type == m_modelType && m_model)
        m_model->doItemsMoved();
}

void ModbusItemBase::doItemsChanged(ModelType type, int first, int last)
{
    if (type == m_modelType && m_model)
        m_model->doItemsChanged(first, last);
}
