#include "modbusarchrecord.h"

#include "modbusclient.h"
#include "modbustaskarchrecord67.h"

namespace {

// The embedded presence object is the record's helper, not an item of the application: a group of
// its own keeps it out of the client's group reads and item counts.
const QString presenceGroup = QStringLiteral("ModbusArchRecord.presence");

} // namespace

ModbusArchRecord::ModbusArchRecord(QObject *parent)
    : ModbusItemArchLabeledBase(0, parent),
      m_presence(this)
{
    setCheckReadTaskCount(false);
    m_roles.append(RoleItem(ExistsRole, "exists", tr("Exists")));
    setRoles(m_roles);
    m_presence.setGroup(presenceGroup);
    connect(&m_presence, &ModbusArchLabel::prevLabelChanged, this, &ModbusArchRecord::prevLabelChanged);
    connect(&m_presence, &ModbusArchLabel::nextLabelChanged, this, &ModbusArchRecord::nextLabelChanged);
    connect(&m_presence, &ModbusArchLabel::firstLabelChanged, this, &ModbusArchRecord::firstLabelChanged);
    connect(&m_presence, &ModbusArchLabel::lastLabelChanged, this, &ModbusArchRecord::lastLabelChanged);
    connect(&m_presence, &ModbusArchLabel::prevLabelExistsChanged, this, &ModbusArchRecord::prevLabelExistsChanged);
    connect(&m_presence, &ModbusArchLabel::nextLabelExistsChanged, this, &ModbusArchRecord::nextLabelExistsChanged);
    connect(&m_presence, &ModbusArchLabel::usePrevChanged, this, &ModbusArchRecord::usePrevChanged);
    connect(&m_presence, &ModbusArchLabel::useNextChanged, this, &ModbusArchRecord::useNextChanged);
    connect(&m_presence, &ModbusArchLabel::useFirstChanged, this, &ModbusArchRecord::useFirstChanged);
    connect(&m_presence, &ModbusArchLabel::useLastChanged, this, &ModbusArchRecord::useLastChanged);
    connect(&m_presence, &ModbusItemBase::afterRead, this, &ModbusArchRecord::onPresenceAfterRead);
    connect(&m_presence, &ErrObject::error, this, &ModbusArchRecord::onPresenceError);
}

QVariant ModbusArchRecord::getTypedValue(const ModbusBytes &bytes) const
{
    return QVariant(bytes.toHex());
}

QVariant ModbusArchRecord::data(const ModbusBytes &bytes, int role) const
{
    if (role == ExistsRole)
        return !bytes.emptyOrZero();
    return ModbusItemArchLabeledBase::data(bytes, role);
}

void ModbusArchRecord::bytesWasChanged()
{
    setExists(!bytes().emptyOrZero());
}

void ModbusArchRecord::needValueRead()
{
    updateArchPresenceObject();
    ModbusItemArchLabeledBase::needValueRead();
}

void ModbusArchRecord::updateArchPresenceObject()
{
    m_presence.setArchType(archType());
    m_presence.setArchIndex(archIndex());
    m_presence.setFunc(func());
    m_presence.setArchInterval(archInterval());
    m_presence.setForce(force());
    if (useClientDeviceAddress())
        m_presence.setUseClientDeviceAddress(true);
    else
        m_presence.setDeviceAddress(deviceAddress());
    m_presence.setClient(client());
}

// ---- reading ----------------------------------------------------------------------------------

bool ModbusArchRecord::internalReading(bool sync)
{
    if (m_useCurrentTime && archType() == TavrexBus::TimeArch)
        setTimeLabel(QDateTime::currentDateTime());
    updateArchPresenceObject();
    if (func() == TavrexBus::Func67) {
        m_readingSync = sync;
        const bool ok = readPresence(label(), count(), sync);
        m_readingSync = false;
        // An asynchronous read goes on when the presence answer comes.
        if (!ok || !sync)
            return ok;
    } else {
        reinitLabels();
    }
    return internalReadRecords(sync);
}

bool ModbusArchRecord::readPresence(quint32 label, int count, bool sync)
{
    m_presence.setLabel(label);
    m_presence.setCount(count);
    m_presencePending = true;
    const bool ok = sync ? m_presence.readSync() : m_presence.read();
    if (!ok)
        m_presencePending = false;
    return ok;
}

// Only a presence answer this record asked for leads on to its records.
void ModbusArchRecord::onPresenceAfterRead()
{
    if (!m_presencePending)
        return;
    m_presencePending = false;
    reinitLabels();
    if (!m_readingSync)
        internalReadRecords(false);
}

void ModbusArchRecord::onPresenceError(const QString &message)
{
    m_presencePending = false;
    if (!message.isEmpty())
        setErrorString(message);
}

void ModbusArchRecord::reinitLabels()
{
    m_labels.clear();
    if (func() == TavrexBus::Func67) {
        m_labels = m_presence.labels();
        return;
    }
    quint32 next = m_normalizeLabel ? TavrexBus::normalizedArchLabel(label(), archType(), archInterval()) : label();
    bool ok = true;
    for (int i = 0; i < count() && ok; ++i) {
        m_labels.append(next);
        next = TavrexBus::getNextLabel(next, archType(), archInterval(), &ok, 1, TavrexBus::Forward);
    }
}

// A neighbour the presence read did not ask for is only the guess the label started with.
bool ModbusArchRecord::presenceFound(bool next) const
{
    return next ? m_presence.useNext() && m_presence.nextLabelExists()
                : m_presence.usePrev() && m_presence.prevLabelExists();
}

bool ModbusArchRecord::internalReadRecords(bool sync)
{
    quint32 start = 0;
    if (!m_labels.isEmpty()) {
        start = m_labels.first();
        if (start != label() && !m_useNearLabel) {
            setErrorString(tr("specified arch label (%1) doesn't exist").arg(label()));
            return false;
        }
    } else if (m_useNearLabel && presenceFound(true)) {
        start = m_presence.nextLabelInt();
    } else if (m_useNearLabel && presenceFound(false)) {
        start = m_presence.prevLabelInt();
    } else {
        setErrorString(tr("No such arch records"));
        return false;
    }
    ModbusClient *link = client();
    if (!link) {
        setErrorString(tr("you should assign 'client' - property"));
        return false;
    }
    ModbusTask *task = createModbusTask(TavrexBus::ReadTask, 0);
    if (!task)
        return false;
    task->setCount(m_labels.isEmpty() ? count() : int(m_labels.size()));
    static_cast<ModbusTaskArchRecord65 *>(task)->setLabel(start);
    taskCreated(task);
    if (sync)
        return link->executeTaskSync(task);
    link->executeTask(task);
    return true;
}

ModbusTask *ModbusArchRecord::createModbusTask(TavrexBus::ModbusTaskType type, int interval)
{
    if (type != TavrexBus::ReadTask)
        return nullptr;
    ModbusTaskArchRecord65 *task = nullptr;
    if (func() == TavrexBus::Func65)
        task = new ModbusTaskArchRecord65(*this, label(), interval);
    else if (func() == TavrexBus::Func67)
        task = new ModbusTaskArchRecord67(*this, label(), m_labels, interval);
    else
        return nullptr;
    initArchTask(*task);
    task->setRecordSize(m_recordSize);
    task->setArchInterval(archInterval());
    return task;
}

bool ModbusArchRecord::checkValidResultTask(ModbusTask *task)
{
    if (!ModbusItemArchLabeledBase::checkValidResultTask(task))
        return false;
    const auto *records = dynamic_cast<const ModbusTaskArchRecord65 *>(task);
    if (!records || (records->recordSize() != 0 && records->recordSize() != m_recordSize))
        return false;
    const ModbusBytesArray answer = task->firstBytes();
    if (m_checkRecordSize && m_recordSize != 0 && !answer.isEmpty() && answer.first().size() != m_recordSize) {
        setErrorString(tr("Arch record size check failed: received length: %1, need %2")
                           .arg(answer.first().size())
                           .arg(m_recordSize));
        return false;
    }
    return true;
}

void ModbusArchRecord::applyResultTask(const ModbusTask &task)
{
    const ModbusBytesArray answer = task.firstBytes();
    if ((!m_checkRecordSize || m_recordSize == 0) && !answer.isEmpty() && !answer.first().isEmpty())
        setRecordSize(int(answer.first().size()));
    if (static_cast<const ModbusTaskArchRecord65 &>(task).label() == label() || m_useNearLabel)
        setBytesArray(answer, ReadChange);
    // Local time costs a time-zone look-up, and a reader takes thousands of records unheard.
    if (bytesWasReadConnected())
        emit bytesWasRead(QDateTime::currentDateTime());
}

void ModbusArchRecord::appendRecords(const ModbusBytesArray &records, BytesChangeType type)
{
    ModbusBytesArray *array = selectedArray();
    if (!array || records.isEmpty())
        return;
    const int first = int(array->size());
    const ModbusBytes before = bytes();
    doItemsAboutToBeInserted(ArrayModel, first, first + int(records.size()) - 1);
    array->append(records);
    doItemsInserted(ArrayModel);
    if (bytes() != before)
        currentBytesChanged(type);
    emit arraySizeChanged();
}

// ---- stepping ---------------------------------------------------------------------------------

bool ModbusArchRecord::stepLabel(bool forward)
{
    if (func() == TavrexBus::Func65) {
        const quint32 from = TavrexBus::normalizedArchLabel(label(), archType(), archInterval());
        bool ok = false;
        const quint32 to = forward ? TavrexBus::getNextLabel(from, archType(), archInterval(), &ok, 1)
                                   : TavrexBus::getPrevLabel(from, archType(), archInterval(), &ok, 1);
        if (!ok)
            return false;
        setLabel(to);
        return true;
    }
    if (func() != TavrexBus::Func67 || !wasRead())
        return false;
    if (!presenceFound(forward))
        return false;
    setLabel(forward ? m_presence.nextLabelInt() : m_presence.prevLabelInt());
    return true;
}

bool ModbusArchRecord::readStep(bool forward, bool sync)
{
    // Without a first read function 67 knows no neighbours: the first step is that read.
    if (func() == TavrexBus::Func67 && !wasRead())
        return sync ? readSync() : read();
    if (!stepLabel(forward))
        return false;
    // A live item has already read at the new label.
    if (liveRead())
        return false;
    return sync ? readSync() : read();
}

// ---- properties -------------------------------------------------------------------------------

void ModbusArchRecord::setExists(bool exists)
{
    if (exists == m_exists)
        return;
    m_exists = exists;
    emit existsChanged();
}

void ModbusArchRecord::setRecordSize(int size)
{
    if (size == m_recordSize || size < 0)
        return;
    m_recordSize = size;
    emit recordSizeChanged();
    setRequestItemBytesCount(size);
}

void ModbusArchRecord::setCheckRecordSize(bool check)
{
    if (check == m_checkRecordSize)
        return;
    m_checkRecordSize = check;
    emit checkRecordSizeChanged();
}

void ModbusArchRecord::setUseCurrentTime(bool use)
{
    if (use == m_useCurrentTime)
        return;
    m_useCurrentTime = use;
    emit useCurrentTimeChanged();
}

void ModbusArchRecord::setUseNearLabel(bool use)
{
    if (use == m_useNearLabel)
        return;
    m_useNearLabel = use;
    emit useNearLabelChanged();
    needValueRead();
}

void ModbusArchRecord::setNormalizeLabel(bool normalize)
{
    if (normalize == m_normalizeLabel)
        return;
    m_normalizeLabel = normalize;
    emit normalizeLabelChanged(normalize);
}
