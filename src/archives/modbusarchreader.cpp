#include "modbusarchreader.h"

#include "objectwatch_p.h"
#include "tavrexbuslogging_p.h"
#include "modbusarchrecord.h"
#include "modbustask.h"

#include <limits>
#include <utility>

namespace {

constexpr quint32 NoEndLabel = std::numeric_limits<quint32>::max();
// Labels asked for in one label batch.
constexpr int BatchLabels = 62;
// What one answer of function 65 can carry: a byte count of 251 less the record count's worth.
constexpr int AnswerBytes = 251;

// The inner items of a reader take only the answers to the requests it has under way, in the order it
// made them. After stop() a late answer finds no request waiting; an answer their checks refuse becomes an
// error, never a silent end of the reading.
template <typename Item>
class Expecting : public Item
{
public:
    explicit Expecting(QObject *parent) : Item(parent) {}

    // Drops the requests under way: their answers, when they come, are ignored.
    void forget()
    {
        m_pending.clear();
        this->abortExecuting();
    }

    bool taskCompleted(ModbusTask *task) override
    {
        if (!task || m_pending.isEmpty() || task != m_pending.constFirst())
            return false;
        m_pending.removeFirst();
        const quint64 errors = this->errorCount();
        const bool taken = Item::taskCompleted(task);
        if (!taken && this->errorCount() == errors)
            this->setErrorString(ModbusArchReader::tr("the answer doesn't match the archive request at label %1")
                                     .arg(this->getVariantLabel(this->label(), true).toString()));
        return taken;
    }

protected:
    void taskCreated(ModbusTask *task) override
    {
        m_pending.append(task);
        Item::taskCreated(task);
    }

private:
    QList<const ModbusTask *> m_pending;
};

} // namespace

class ModbusArchReader::LabelPart : public Expecting<ModbusArchLabel>
{
public:
    using Expecting::Expecting;
};

class ModbusArchReader::RecordPart : public Expecting<ModbusArchRecord>
{
public:
    using Expecting::Expecting;
};

ModbusArchReader::ModbusArchReader(QObject *parent)
    : ErrObject(parent),
      m_recordReader(std::make_unique<RecordPart>(this)),
      m_labelReader(std::make_unique<LabelPart>(this))
{
    connect(m_labelReader.get(), &ModbusItemBase::afterRead, this, &ModbusArchReader::onLabelsRead);
    connect(m_recordReader.get(), &ModbusItemBase::afterRead, this, &ModbusArchReader::onRecordRead);
    connect(m_labelReader.get(), &ErrObject::error, this, &ModbusArchReader::onLabelError);
    connect(m_recordReader.get(), &ErrObject::error, this, &ModbusArchReader::onInnerError);
}

ModbusArchReader::~ModbusArchReader() = default;

// ---- the reading ------------------------------------------------------------------------------

void ModbusArchReader::start()
{
    if (!m_running)
        setRunning(true);
}

void ModbusArchReader::stop()
{
    setRunning(false);
}

void ModbusArchReader::setRunning(bool running)
{
    if (running == m_running)
        return;
    if (!running) {
        stopAt(false);
        return;
    }
    if (!m_record) {
        setErrorString(tr("you should assign 'record' - property"));
        return;
    }
    m_running = true;
    const quint64 run = ++m_run;
    emit started();
    if (run != m_run || !m_running)
        return;
    reset();
    setNextArchIndex();
    m_ranges.insert(m_archIndex, {0, 0});
    emit runningChanged(true);
    if (run != m_run || !m_running)
        return;
    qCDebug(lcArchives) << "reading archive" << m_archIndex << "from" << fromLabel() << "to" << m_endLabel;
    readLabels(fromLabel());
}

void ModbusArchReader::reset()
{
    if (!m_record)
        return;
    ModbusArchRecord &record = *m_record;
    m_ranges.clear();
    m_pendingArchIndexes = m_archIndexes;
    m_collected.clear();
    m_collectedLabels.clear();
    m_handedOver = 0;
    m_labels.clear();
    m_inFlight.clear();
    m_labelsShort = false;
    m_readingLabels = false;
    m_archIndex = record.archIndex();
    m_endLabel = m_to.isValid() && !m_to.isNull() ? TavrexBus::getIntLabel(m_to, record.timeFormat()) : NoEndLabel;
    const quint32 from = fromLabel();
    setUpReaders(record, from);
    resetTotal(record, from);
    setProgress(0);
    if (m_stopped) {
        m_stopped = false;
        emit stoppedAtChanged();
    }
}

void ModbusArchReader::setUpReaders(const ModbusArchRecord &record, quint32 from)
{
    for (ModbusItemArchLabeledBase *part : {static_cast<ModbusItemArchLabeledBase *>(m_recordReader.get()),
                                            static_cast<ModbusItemArchLabeledBase *>(m_labelReader.get())}) {
        part->setClient(record.client());
        if (record.useClientDeviceAddress())
            part->setUseClientDeviceAddress(true);
        else
            part->setDeviceAddress(record.deviceAddress());
        part->setArchType(record.archType());
        part->setArchIndex(m_archIndex);
        part->setArchInterval(record.archInterval());
        part->setTimeFormat(record.timeFormat());
        part->setLabel(from);
    }
    // Records are always read by label; which labels exist is the label reader's business.
    m_recordReader->setFunc(TavrexBus::Func65);
    m_recordReader->setUseNearLabel(true);
    m_recordReader->setUseNext(true);
    m_recordReader->setCount(qMax(1, m_recordsPerRequest));
    m_recordReader->setCheckRecordSize(true);
    m_recordReader->setRecordSize(record.recordSize());
    m_labelReader->setFunc(record.func());
    m_labelReader->setCount(BatchLabels);
    m_labelReader->setMaxRequestLabels(m_maxRequestLabels);
    m_labelReader->setEndLabel(m_endLabel == NoEndLabel ? 0 : m_endLabel);
    // The reader needs no neighbour: asking for one would cost a second request per batch.
    m_labelReader->setUseNext(false);
}

void ModbusArchReader::resetTotal(const ModbusArchRecord &record, quint32 from)
{
    if (record.func() == TavrexBus::Func65) {
        quint32 end = m_endLabel;
        const int labels = TavrexBus::getLabelsBetween(from, end, record.archType(), record.archInterval());
        const qint64 archives = qMax<qint64>(1, m_archIndexes.size());
        setTotal(int(qMin<qint64>(qint64(labels) * archives, std::numeric_limits<int>::max())));
    } else {
        setTotal(-1);
    }
}

bool ModbusArchReader::setNextArchIndex()
{
    if (m_pendingArchIndexes.isEmpty())
        return false;
    bool ok = false;
    const int index = m_pendingArchIndexes.constFirst().toInt(&ok);
    if (!ok)
        return false;
    m_pendingArchIndexes.removeFirst();
    m_archIndex = index;
    m_recordReader->setArchIndex(index);
    m_labelReader->setArchIndex(index);
    return true;
}

void ModbusArchReader::readLabels(quint32 from)
{
    m_readingLabels = true;
    m_labelReader->setLabel(from);
    if (!m_labelReader->read() && m_running)
        fail(tr("can't read the labels of archive %1").arg(m_archIndex));
}

void ModbusArchReader::onLabelsRead()
{
    if (!m_running || !m_readingLabels)
        return;
    QList<quint32> batch = m_labelReader->labels();
    const QString disorder = orderProblem(batch, m_labelReader->label());
    if (!disorder.isEmpty()) {
        failLabels(disorder);
        return;
    }
    m_readingLabels = false;
    m_labelsShort = batch.size() != m_labelReader->count();
    // A batch that reaches past the end is the last one of this archive.
    while (!batch.isEmpty() && batch.constLast() > m_endLabel) {
        batch.removeLast();
        m_labelsShort = true;
    }
    // Labels asked for again after a short answer come first.
    m_labels.append(batch);
    // A full batch's last label starts the next batch, which is asked for ahead of this one's records:
    // its labels are in before the executor runs out of requests. The device confirms the order by
    // listing that label again.
    if (!m_labelsShort && !m_labels.isEmpty() && m_labels.constLast() != m_endLabel
        && issued() + m_labels.size() < recordLimit())
        readLabels(m_labels.takeLast());
    pump();
}

// The device lists labels in archive order, each once, from the one asked for.
QString ModbusArchReader::orderProblem(const QList<quint32> &labels, quint32 requested) const
{
    for (qsizetype i = 0; i < labels.size(); ++i) {
        const quint32 before = i == 0 ? requested : labels.at(i - 1);
        if (i == 0 ? labels.at(i) >= before : labels.at(i) > before)
            continue;
        return tr("arch labels out of order: %1 follows %2").arg(labelText(labels.at(i)), labelText(before));
    }
    return {};
}

// The next batch is asked for ahead of the records before it: those are still read, and the reading
// stops where the bad batch begins, as it would had the labels been asked for after them.
void ModbusArchReader::failLabels(const QString &message)
{
    m_labelFailure = message;
    pump();
}

// Keeps the executor busy: every record request of the batch goes at once, behind the request for the
// next batch, so that no answer waits for this thread. Until the record size is known, one request goes
// alone, so that the rest can fill their answers.
void ModbusArchReader::pump()
{
    const bool sizeUnknown = m_recordsPerRequestOptimization && m_recordReader->recordSize() == 0;
    while (m_running && !m_labels.isEmpty() && issued() < recordLimit()
           && !(sizeUnknown && !m_inFlight.isEmpty())) {
        const int count = runLength();
        m_inFlight.append(m_labels.mid(0, count));
        m_labels.remove(0, count);
        m_recordReader->setCount(count);
        m_recordReader->setLabel(m_inFlight.constLast().constFirst());
        if (!m_recordReader->read() && m_running)
            fail(tr("can't read the records of archive %1").arg(m_archIndex));
    }
    if (!m_running || !m_inFlight.isEmpty() || (!m_labels.isEmpty() && issued() < recordLimit()))
        return;
    if (!m_labelFailure.isEmpty() && issued() < recordLimit())
        fail(std::exchange(m_labelFailure, QString()));
    else if (!m_readingLabels || !m_labelFailure.isEmpty())
        finishArchive(issued() >= recordLimit());
}

qsizetype ModbusArchReader::issued() const
{
    qsizetype count = m_collected.size();
    for (const QList<quint32> &run : m_inFlight)
        count += run.size();
    return count;
}

qsizetype ModbusArchReader::recordLimit() const
{
    return m_maxRecords > 0 ? m_maxRecords : std::numeric_limits<qsizetype>::max();
}

int ModbusArchReader::recordsPerAnswer() const
{
    const int size = m_recordReader->recordSize();
    if (m_recordsPerRequestOptimization && size > 0)
        return qMax(1, AnswerBytes / size - 1);
    return qMax(1, m_recordsPerRequest);
}

// Function 65 reads consecutive labels: one request covers a run of labels without a gap, never more
// than the record limit leaves.
int ModbusArchReader::runLength() const
{
    const qsizetype available = m_labels.size();
    int limit = recordsPerAnswer();
    if (m_maxRecords > 0)
        limit = int(qMin<qsizetype>(limit, qMax<qsizetype>(1, m_maxRecords - issued())));
    int count = 1;
    const TavrexBus::ArchType type = m_recordReader->archType();
    const TavrexBus::ArchInterval interval = m_recordReader->archInterval();
    while (count < limit && count < available) {
        bool ok = false;
        const quint32 next = TavrexBus::getNextLabel(m_labels.at(count - 1), type, interval, &ok, 1);
        if (!ok || next != m_labels.at(count))
            break;
        ++count;
    }
    return count;
}

void ModbusArchReader::onRecordRead()
{
    if (!m_running || m_inFlight.isEmpty())
        return;
    const QList<quint32> run = m_inFlight.takeFirst();
    const ModbusBytesArray answer = m_recordReader->bytesArray();
    const int taken = int(qMin(answer.size(), run.size()));
    if (taken == 0) {
        fail(tr("no records in the answer at label %1").arg(labelText(run.constFirst())));
        return;
    }
    if (taken < run.size())
        askAgain(run.mid(taken));
    m_collectedLabels.append(run.mid(0, taken));
    collect(answer.mid(0, taken));
    setProgress(int(m_collected.size()));
    if (!m_running)
        return;
    if (m_liveResult) {
        handOver();
        if (!m_running)
            return;
    }
    pump();
}

// Records the device did not send are asked for again, in label order: the requests made after them
// are dropped and made anew, so that the records stay in order. Surplus records never enter the result.
void ModbusArchReader::askAgain(const QList<quint32> &missing)
{
    QList<quint32> again = missing;
    for (const QList<quint32> &run : std::as_const(m_inFlight))
        again.append(run);
    m_inFlight.clear();
    m_recordReader->forget();
    m_labels = again + m_labels;
}

void ModbusArchReader::collect(const ModbusBytesArray &records)
{
    m_collected.append(records);
    if (m_maxRecords > 0 && m_collected.size() > m_maxRecords) {
        m_collected.resize(m_maxRecords);
        m_collectedLabels.resize(m_maxRecords);
    }
}

void ModbusArchReader::finishArchive(bool full)
{
    const int size = int(m_collected.size());
    m_ranges[m_archIndex].second = size - 1;
    if (!full && setNextArchIndex()) {
        m_ranges.insert(m_archIndex, {size, size});
        // Another archive may keep records of another size.
        m_recordReader->setRecordSize(m_record ? m_record->recordSize() : 0);
        m_labels.clear();
        m_labelsShort = false;
        readLabels(fromLabel());
        return;
    }
    const quint64 run = m_run;
    stopAt(true);
    if (run == m_run)
        emit completed();
}

void ModbusArchReader::handOver()
{
    if (!m_record)
        return;
    // While the record still holds what it was given last, only the new records go, as new rows: views
    // keep their place and no list is copied whole on every answer.
    const qsizetype given = m_handedOver;
    if (given > 0 && m_record->arraySize() == given && m_collected.size() >= given
        && m_record->arrayBytes(int(given) - 1) == m_collected.at(given - 1))
        m_record->appendRecords(m_collected.mid(given), ModbusItemBase::InternalChange);
    else
        m_record->setBytesArray(m_collected, ModbusItemBase::InternalChange);
    m_handedOver = m_collected.size();
}

void ModbusArchReader::stopAt(bool complete)
{
    if (!m_running)
        return;
    m_running = false;
    m_labelFailure.clear();
    m_labelReader->forget();
    m_recordReader->forget();
    quint32 at = 0;
    bool stopped = !complete;
    if (!m_inFlight.isEmpty())
        at = m_inFlight.constFirst().constFirst();
    else if (!m_labels.isEmpty())
        at = m_labels.constFirst();
    else if (m_readingLabels)
        at = m_labelReader->label();
    else
        stopped = false;
    m_readingLabels = false;
    if (stopped) {
        m_stopped = true;
        m_stoppedAt = at;
        emit stoppedAtChanged();
    }
    qCDebug(lcArchives) << (complete ? "reading completed" : "reading stopped") << "with" << m_collected.size()
                        << "records" << (stopped ? "before label" : "") << (stopped ? at : 0);
    handOver();
    emit runningChanged(false);
}

void ModbusArchReader::fail(const QString &message)
{
    qCInfo(lcArchives) << "reading archive" << m_archIndex << "stopped:" << message;
    stopAt(false);
    setErrorString(message);
}

void ModbusArchReader::onInnerError(const QString &message)
{
    if (m_running && !message.isEmpty())
        fail(message);
}

void ModbusArchReader::onLabelError(const QString &message)
{
    if (m_running && !message.isEmpty())
        failLabels(message);
}

// ---- queries ----------------------------------------------------------------------------------

quint32 ModbusArchReader::fromLabel() const
{
    if (!m_from.isValid() || m_from.isNull())
        return 0;
    return m_record ? TavrexBus::getIntLabel(m_from, m_record->timeFormat()) : TavrexBus::getIntLabel(m_from);
}

QVariant ModbusArchReader::labelValue(quint32 label) const
{
    return m_record ? m_record->getVariantLabel(label, false) : QVariant(label);
}

QString ModbusArchReader::labelText(quint32 label) const
{
    return m_record ? m_record->getVariantLabel(label, true).toString() : QString::number(label);
}

QVariant ModbusArchReader::stoppedAt() const
{
    return m_stopped ? labelValue(m_stoppedAt) : QVariant();
}

int ModbusArchReader::getArchIndexOf(int index) const
{
    for (auto it = m_ranges.cbegin(); it != m_ranges.cend(); ++it) {
        if (index >= it->first && index <= it->second)
            return it.key();
    }
    return -1;
}

QVariant ModbusArchReader::getLabelOf(int index) const
{
    return index >= 0 && index < m_collectedLabels.size() ? labelValue(m_collectedLabels.at(index)) : QVariant();
}

// ---- properties -------------------------------------------------------------------------------

void ModbusArchReader::setRecord(ModbusArchRecord *record)
{
    if (record == m_record)
        return;
    // The reading's destination is gone: it cannot go on.
    stopAt(false);
    rewatch(this, m_record, record, &ModbusArchReader::onRecordDestroyed);
    emit recordChanged(record);
}

void ModbusArchReader::onRecordDestroyed()
{
    stopAt(false);
    emit recordChanged(nullptr);
}

void ModbusArchReader::setFrom(const QVariant &from)
{
    if (from == m_from)
        return;
    m_from = from;
    emit fromChanged(from);
}

void ModbusArchReader::setTo(const QVariant &to)
{
    if (to == m_to)
        return;
    m_to = to;
    emit toChanged(to);
}

void ModbusArchReader::setTotal(int total)
{
    if (total == m_total)
        return;
    m_total = total;
    emit totalChanged(total);
}

void ModbusArchReader::setProgress(int progress)
{
    if (progress == m_progress)
        return;
    m_progress = progress;
    emit progressChanged(progress);
}

void ModbusArchReader::setRecordsPerRequest(int count)
{
    if (count == m_recordsPerRequest || count < 1)
        return;
    m_recordsPerRequest = count;
    emit recordsPerRequestChanged(count);
}

void ModbusArchReader::setRecordsPerRequestOptimization(bool optimize)
{
    if (optimize == m_recordsPerRequestOptimization)
        return;
    m_recordsPerRequestOptimization = optimize;
    emit recordsPerRequestOptimizationChanged(optimize);
}

void ModbusArchReader::setLiveResult(bool live)
{
    if (live == m_liveResult)
        return;
    m_liveResult = live;
    emit liveResultChanged(live);
}

void ModbusArchReader::setMaxRecords(int count)
{
    if (count == m_maxRecords || count < 0)
        return;
    m_maxRecords = count;
    emit maxRecordsChanged(count);
}

void ModbusArchReader::setMaxRequestLabels(int count)
{
    if (count == m_maxRequestLabels)
        return;
    m_maxRequestLabels = count;
    emit maxRequestLabelsChanged(count);
}

void ModbusArchReader::setArchIndexes(const QVariantList &indexes)
{
    if (indexes == m_archIndexes)
        return;
    m_archIndexes = indexes;
    emit archIndexesChanged(indexes);
}
