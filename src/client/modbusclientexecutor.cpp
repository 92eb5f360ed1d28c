#include "modbusclientexecutor.h"

#include "modbustaskaddressed.h"
#include "modbustaskarchpresence65.h"
#include "modbustaskarchrecord67.h"
#include "modbustaskfile.h"
#include "modbustaskreport.h"
#include "modbustaskserver.h"
#include "modbustransport.h"
#include "modbustransporter.h"
#include "threadcall_p.h"
#include "transportlifeline_p.h"

#include <QtCore/qdatetime.h>
#include <QtCore/qelapsedtimer.h>

#include <algorithm>
#include <limits>

namespace {

// The oldest label a presence answer can hold in front of the walk and the newest after it.
constexpr quint32 FirstComputedLabel = 172800;
constexpr quint32 LastLabel = std::numeric_limits<quint32>::max();

ModbusBytesArray labelBlocks(const QList<quint32> &labels)
{
    ModbusBytesArray blocks;
    blocks.reserve(labels.size());
    for (quint32 label : labels)
        blocks.append(ModbusBytes::fromUInt32(label));
    return blocks;
}

QList<quint32> labelsOf(const ModbusBytesArray &blocks)
{
    QList<quint32> labels;
    labels.reserve(blocks.size());
    for (const ModbusBytes &block : blocks)
        labels.append(block.toUInt32(0));
    return labels;
}

} // namespace

ModbusClientExecutor::ModbusClientExecutor(ModbusTaskServer &taskServer, QObject *parent)
    : ErrObject(parent),
      m_modbuser(this),
      m_timer(this),
      m_taskServer(taskServer)
{
    m_timer.setInterval(StartInterval);
    connect(&m_timer, &QTimer::timeout, this, &ModbusClientExecutor::onTimer);
    connect(&m_modbuser, &ErrObject::error, this, &ModbusClientExecutor::setErrorString);
    connect(&m_taskServer, &ModbusTaskServer::tasksChanged, this, &ModbusClientExecutor::requestWakeUp,
            Qt::DirectConnection);
    if (ModbusTransporter *transporter = m_modbuser.transporter()) {
        connect(transporter, &Transporter::transportsChanged, this, &ModbusClientExecutor::requestWakeUp,
                Qt::DirectConnection);
        connect(transporter, &Transporter::connectedChanged, this, &ModbusClientExecutor::requestWakeUp,
                Qt::DirectConnection);
    }
    // Started by the event loop of the thread the executor ends up on: a timer running before the
    // move would be handed over through an event that a short-lived thread may never see.
    QMetaObject::invokeMethod(&m_timer, qOverload<>(&QTimer::start), Qt::QueuedConnection);
}

// The request engine goes after the timer and reports its transports leaving; nobody must wake us then.
ModbusClientExecutor::~ModbusClientExecutor()
{
    if (ModbusTransporter *transporter = m_modbuser.transporter())
        disconnect(transporter, nullptr, this, nullptr);
    disconnect(&m_taskServer, nullptr, this, nullptr);
    // Aborts are asked for from other threads, under this lock; it orders their last one before
    // the list goes, where the event that deletes us does not show a thread checker that order.
    const std::lock_guard locker(m_abortLock);
    m_abortItems.clear();
}

Modbuser &ModbusClientExecutor::modbuser()
{
    return m_modbuser;
}

int ModbusClientExecutor::retries() const
{
    return m_retries;
}

void ModbusClientExecutor::setRetries(int retries)
{
    if (retries < 1 || retries == m_retries)
        return;
    m_retries = retries;
    emit retriesChanged(true);
}

int ModbusClientExecutor::maxArchRecords() const
{
    return m_maxArchRecords;
}

void ModbusClientExecutor::setMaxArchRecords(int count)
{
    if (count >= 1)
        m_maxArchRecords = count;
}

int ModbusClientExecutor::timerInterval() const
{
    return m_timer.interval();
}

void ModbusClientExecutor::setTransport(ModbusTransport *transport)
{
    m_modbuser.setClientTransport(transport);
}

// Restarting a timer costs a system call; a queue filled item by item wakes the executor often.
void ModbusClientExecutor::wakeUp()
{
    if (m_timer.interval() != 0)
        m_timer.setInterval(0);
}

// A queue filled task by task would post an event and wake this thread per task; while one wake-up is
// on its way, the next ones are already served by it.
void ModbusClientExecutor::requestWakeUp()
{
    if (QThread::currentThread() == thread()) {
        wakeUp();
        return;
    }
    if (m_wakeUpPosted.exchange(true, std::memory_order_acq_rel))
        return;
    postToOwnerThread(this, [this] {
        m_wakeUpPosted.store(false, std::memory_order_release);
        wakeUp();
    });
}

void ModbusClientExecutor::abortExecuting(ModbusItemBase *item)
{
    const std::lock_guard locker(m_abortLock);
    m_abortItems.append(item);
    m_abortRequested = true;
}

void ModbusClientExecutor::abortExecutingAll()
{
    m_abortAll = true;
}

// The transport lives on the client's thread, which may be destroying it right now.
bool ModbusClientExecutor::linkConnected() const
{
    const ModbusTransporter *transporter = m_modbuser.transporter();
    const TransportLease lease = transporter ? transporter->leaseClientTransport() : TransportLease();
    return lease && lease.transport()->connected();
}

// A trip through the event loop costs about as much as a short exchange, so work that keeps coming
// runs back to back for up to BatchSlice; calls queued to this thread wait no longer than that.
void ModbusClientExecutor::onTimer()
{
    ModbusTask *task = nextTask();
    if (!task) {
        scheduleIdle();
        return;
    }
    QElapsedTimer slice;
    slice.start();
    do {
        executeTask(task);
        deliver(task);
    } while (!slice.hasExpired(BatchSlice) && (task = nextTask()));
    if (!task)
        emit queueDrained();
    wakeUp();
}

ModbusTask *ModbusClientExecutor::nextTask()
{
    ModbusTask *task = m_taskServer.getQueuedTask();
    if (!task && linkConnected() && m_taskServer.intervalReadingEnabled())
        task = m_taskServer.getIntervalTask();
    return task;
}

void ModbusClientExecutor::scheduleIdle()
{
    QDateTime nearest;
    if (!linkConnected() || !m_taskServer.intervalReadingEnabled() || !m_taskServer.getNearestTaskTime(nearest)) {
        m_timer.setInterval(IdleInterval);
        return;
    }
    const qint64 wait = QDateTime::currentDateTimeUtc().msecsTo(nearest);
    m_timer.setInterval(int(std::clamp<qint64>(wait, 0, std::numeric_limits<int>::max())));
}

void ModbusClientExecutor::deliver(ModbusTask *task)
{
    if (task->dataList().size() < 2) {
        m_taskServer.addResult(task);
        return;
    }
    const ModbusTaskList parts = task->split();
    for (ModbusTask *part : parts)
        m_taskServer.addResult(part);
    delete task;
}

void ModbusClientExecutor::executeTask(ModbusTask *task)
{
    if (!task)
        qFatal("unknown task type");
    {
        const std::lock_guard locker(m_abortLock);
        m_abortItems.clear();
        m_abortRequested = false;
        m_abortAll = false;
    }
    emit executingItemsChanged(task->dataList().getItems());
    m_modbuser.setDeviceAddress(task->deviceAddress());
    for (int attempt = 0; attempt < m_retries; ++attempt) {
        if (task->state() == TavrexBus::TaskDone || task->state() == TavrexBus::TaskAborted)
            break;
        // A retry after an abort of everything would only delay the shutdown it serves.
        if (attempt > 0 && m_abortAll) {
            task->abort();
            break;
        }
        // Local time would cost a time-zone lookup per exchange on this busy thread.
        task->setLastProcessTime(QDateTime::currentDateTimeUtc());
        dispatch(task);
    }
    emit executingItemsChanged({});
}

void ModbusClientExecutor::dispatch(ModbusTask *task)
{
    if (auto *addressed = dynamic_cast<ModbusTaskAddressed *>(task))
        executeTaskAddressed(*addressed);
    else if (dynamic_cast<ModbusTaskReport *>(task))
        executeTaskReport(*task);
    else if (auto *records = dynamic_cast<ModbusTaskArchRecord65 *>(task))
        executeTaskArchRecords(*records);
    else if (auto *computed = dynamic_cast<ModbusTaskArchPresence65 *>(task))
        executeTaskArchPresence65(*computed);
    else if (auto *presence = dynamic_cast<ModbusTaskArchPresence *>(task))
        executeTaskArchPresence(*presence);
    else if (auto *file = dynamic_cast<ModbusTaskFile *>(task))
        executeTaskFile(*file);
    else
        qFatal("unknown task type");
}

bool ModbusClientExecutor::checkAbort(ModbusItemBase *item)
{
    if (!m_abortRequested && !m_abortAll)
        return false;
    const std::lock_guard locker(m_abortLock);
    const bool found = m_abortItems.contains(item);
    m_abortItems.clear();
    m_abortRequested = false;
    return m_abortAll || found;
}

bool ModbusClientExecutor::partDone(ModbusTask &task)
{
    emit taskPartialExecuted();
    if (!checkAbort(task.firstItem()))
        return true;
    task.abort();
    return false;
}

void ModbusClientExecutor::fail(ModbusTask &task)
{
    fail(task, m_modbuser.errorString());
}

void ModbusClientExecutor::fail(ModbusTask &task, const QString &message)
{
    task.setState(TavrexBus::TaskFailed);
    task.setErrorString(message);
}

// ---- registers --------------------------------------------------------------------------------

void ModbusClientExecutor::executeTaskAddressed(ModbusTaskAddressed &task)
{
    if (task.dataList().isEmpty())
        return;
    switch (TavrexBus::getAddressType(task.address())) {
    case TavrexBus::InputRegisters:
    case TavrexBus::HoldingRegisters:
        executeTaskRegs(task);
        break;
    default:
        fail(task, tr("Not implemented"));
        break;
    }
}

void ModbusClientExecutor::executeTaskRegs(ModbusTaskAddressed &task)
{
    switch (task.type()) {
    case TavrexBus::ReadTask:
        readRegs(task);
        break;
    case TavrexBus::WriteTask:
        writeRegs(task);
        break;
    default:
        qFatal("executeTaskRegs() -> unknown type of task");
    }
}

void ModbusClientExecutor::readRegs(ModbusTaskAddressed &task)
{
    const int registers = task.requestBytesCount() / 2;
    ModbusBytes bytes;
    bool ok = false;
    if (registers <= 1) {
        ok = m_modbuser.readRegister(task.address(), bytes);
    } else if (registers <= MaxRegistersPerRequest) {
        ok = m_modbuser.readRegisters(task.address(), quint16(registers), bytes);
    } else {
        quint32 address = task.address();
        int remaining = registers;
        while (remaining > 0) {
            ModbusBytes part;
            const int count = std::min(remaining, MaxRegistersPerRequest);
            if (!m_modbuser.readRegisters(address, quint16(count), part) || part.isEmpty())
                break;
            bytes.append(part);
            address += quint32(part.size() / 2);
            remaining -= int(part.size() / 2);
            if (remaining > 0 && !partDone(task))
                return;
        }
        ok = remaining <= 0;
    }
    if (!ok) {
        fail(task);
        return;
    }
    task.setBytes(bytes, -1);
    task.setState(TavrexBus::TaskDone);
}

void ModbusClientExecutor::writeRegs(ModbusTaskAddressed &task)
{
    const int registers = task.requestBytesCount() / 2;
    const ModbusBytes bytes = task.dataList().getBytes();
    bool ok = false;
    if (registers <= 1) {
        ok = m_modbuser.writeRegister(task.address(), ModbusBytes::fromList(task.firstBytes()).toUInt16(0));
    } else if (registers <= MaxRegistersPerRequest) {
        ok = m_modbuser.writeRegisters(task.address(), bytes);
    } else {
        quint32 address = task.address();
        int written = 0;
        ok = true;
        while (ok && written < registers) {
            const int count = std::min(registers - written, MaxRegistersPerRequest);
            ok = m_modbuser.writeRegisters(address, bytes.mid(written * 2, count * 2));
            address += quint32(count);
            written += count;
            if (ok && written < registers && !partDone(task))
                return;
        }
    }
    if (!ok) {
        fail(task);
        return;
    }
    task.setState(TavrexBus::TaskDone);
}

// ---- report and file --------------------------------------------------------------------------

void ModbusClientExecutor::executeTaskReport(ModbusTask &task)
{
    ModbusBytes report;
    if (!m_modbuser.getReport(report)) {
        fail(task);
        return;
    }
    task.setBytes(ModbusBytesArray{report});
    task.setState(TavrexBus::TaskDone);
}

void ModbusClientExecutor::executeTaskFile(ModbusTaskFile &task)
{
    switch (task.type()) {
    case TavrexBus::ReadTask:
        readFile(task);
        break;
    case TavrexBus::WriteTask:
        writeFile(task);
        break;
    default:
        qFatal("executeTaskFile() -> unknown type of task");
    }
}

namespace {

int filePartSize(const ModbusTaskFile &task)
{
    const int block = task.modbusBlockSize();
    return block < 1 ? ModbusClientExecutor::MaxRegistersPerRequest
                     : std::min(block, ModbusClientExecutor::MaxRegistersPerRequest);
}

} // namespace

void ModbusClientExecutor::readFile(ModbusTaskFile &task)
{
    const int registers = task.requestBytesCount() / 2;
    const int partSize = filePartSize(task);
    ModbusBytes bytes;
    quint16 offset = task.offset();
    int remaining = registers;
    while (remaining > 0) {
        ModbusBytes part;
        const int count = std::min(remaining, partSize);
        if (!m_modbuser.readFile(task.file(), offset, quint8(count), part) || part.isEmpty()) {
            fail(task);
            return;
        }
        bytes.append(part);
        offset += quint16(part.size() / 2);
        remaining -= int(part.size() / 2);
        if (remaining > 0 && !partDone(task))
            return;
    }
    task.setBytes(bytes, -1);
    task.setState(TavrexBus::TaskDone);
}

void ModbusClientExecutor::writeFile(ModbusTaskFile &task)
{
    const int registers = task.requestBytesCount() / 2;
    const int partSize = filePartSize(task);
    if (registers <= partSize) {
        if (!m_modbuser.writeFile(task.file(), task.offset(), ModbusBytes::fromList(task.firstBytes())))
            fail(task);
        else
            task.setState(TavrexBus::TaskDone);
        return;
    }
    const ModbusBytes bytes = task.dataList().getBytes();
    quint16 offset = task.offset();
    for (int written = 0; written < registers;) {
        const int count = std::min(registers - written, partSize);
        if (!m_modbuser.writeFile(task.file(), offset, bytes.mid(written * 2, count * 2))) {
            fail(task);
            return;
        }
        offset += quint16(count);
        written += count;
        if (written < registers)
            emit taskPartialExecuted();
    }
    task.setState(TavrexBus::TaskDone);
}

// ---- archives ---------------------------------------------------------------------------------

void ModbusClientExecutor::executeTaskArchRecords(ModbusTaskArchRecord65 &task)
{
    const int wanted = task.count();
    const int partSize = m_maxArchRecords;
    ModbusBytesArray records;
    int total = 0;
    quint32 label = task.label();
    for (int remaining = wanted; remaining > 0;) {
        const int count = std::min(remaining, partSize);
        ModbusBytesArray part;
        const int received = m_modbuser.readArchRecords(task.archIndex(), label, task.func(), task.archType(),
                                                        part, task.direction(), quint16(count));
        total += received;
        if (received != count)
            break;
        records.append(part);
        remaining -= count;
        if (remaining <= 0)
            break;
        bool ok = false;
        label = task.getNextLabel(label, &ok, quint32(count));
        if (!ok)
            break;
        if (!partDone(task))
            return;
    }
    if (total == 0) {
        fail(task);
        return;
    }
    task.setBytes(records);
    task.setState(TavrexBus::TaskDone);
}

void ModbusClientExecutor::executeTaskArchPresence65(ModbusTaskArchPresence65 &task)
{
    const TavrexBus::ArchType type = task.archType();
    const TavrexBus::ArchInterval interval = task.archInterval();
    const quint32 label = task.label();
    task.setFirstLabel(FirstComputedLabel);
    task.setLastLabel(LastLabel);
    bool hasPrev = label > task.firstLabel();
    bool hasNext = label < task.lastLabel();
    if (hasPrev)
        task.setPrevLabel(TavrexBus::getPrevLabel(label, type, interval, &hasPrev, 1));

    // count labels from label: the end lies count - 1 steps on, the label itself for one.
    bool ok = false;
    const quint32 steps = quint32(std::max(task.count(), 1) - 1);
    quint32 end = TavrexBus::getNextLabel(label, type, interval, &ok, steps, task.direction());
    const bool forward = task.direction() == TavrexBus::Forward;
    if (ok && task.endLabel() != 0)
        end = forward ? std::min(end, task.endLabel()) : std::max(end, task.endLabel());
    else if (!ok)
        end = forward ? LastLabel : 0;
    if (hasNext)
        task.setNextLabel(TavrexBus::getNextLabel(end, type, interval, &hasNext, 1, TavrexBus::Forward));

    // Without a bound the walk would cover the whole label range; it never yields more than asked for.
    QList<quint32> labels;
    for (quint32 current = label; current <= end && labels.size() < std::max(task.count(), 1);) {
        labels.append(current);
        bool stepped = false;
        current = TavrexBus::getNextLabel(current, type, interval, &stepped, 1, TavrexBus::Forward);
        if (!stepped)
            break;
    }
    task.setHasPrev(hasPrev);
    task.setHasNext(hasNext);
    task.setBytes(labelBlocks(labels));
    task.setState(TavrexBus::TaskDone);
}

bool ModbusClientExecutor::readPresenceLabels(ModbusTaskArchPresence &task, int wanted, QList<quint32> &labels)
{
    const bool forward = task.direction() == TavrexBus::Forward;
    // A part repeats the label it starts from, so it must ask for two at least to get anywhere.
    const int partSize = std::clamp(task.maxRequestLabels(), 2, MaxLabelsPerRequest);
    const quint32 endLabel = task.endLabel();
    auto beyondEnd = [&](quint32 label) { return endLabel != 0 && (forward ? label > endLabel : label < endLabel); };
    quint32 start = task.label();
    bool carried = false;
    for (int remaining = wanted; remaining > 0;) {
        const int count = std::min(remaining, partSize);
        ModbusBytesArray blocks;
        if (!m_modbuser.readArchPresence(task.archIndex(), start, task.archType(), blocks, task.direction(),
                                         quint16(count)))
            return false;
        QList<quint32> part = labelsOf(blocks);
        // A device that answers a continued part without moving past its start would be asked forever.
        if (carried && (part.isEmpty() || (forward ? part.last() <= start : part.first() >= start))) {
            if (forward)
                labels.append(start);
            else
                labels.prepend(start);
            break;
        }
        const bool shortAnswer = part.size() < count;
        remaining -= int(part.size());
        const qsizetype before = part.size();
        part.removeIf(beyondEnd);
        const bool reachedEnd = part.size() != before || part.contains(endLabel);
        const bool more = remaining > 0 && !part.isEmpty() && !reachedEnd && !shortAnswer;
        if (more) {
            // The outermost label starts the next part, so that the device confirms the order across parts.
            start = forward ? part.takeLast() : part.takeFirst();
            ++remaining;
        }
        carried = more;
        if (forward)
            labels.append(part);
        else
            labels = part + labels;
        if (!more || !partDone(task))
            break;
    }
    return task.state() != TavrexBus::TaskAborted;
}

bool ModbusClientExecutor::readPresenceNeighbours(ModbusTaskArchPresence &task, QList<quint32> &labels, bool extra)
{
    const bool forward = task.direction() == TavrexBus::Forward;
    if (extra && labels.size() > task.count()) {
        if (forward) {
            task.setNextLabel(labels.takeLast());
            task.setHasNext(true);
        } else {
            task.setPrevLabel(labels.takeFirst());
            task.setHasPrev(true);
        }
    }
    const quint32 first = labels.isEmpty() ? task.label() : labels.first();
    const quint32 last = labels.isEmpty() ? task.label() : labels.last();
    bool ok = true;
    if (task.readPrev() && !(extra && !forward) && first != 0) {
        quint32 prev = 0;
        bool found = false;
        ok = m_modbuser.getNearestLabel(task.archIndex(), task.archType(), first - 1, prev, TavrexBus::Backward,
                                        &found) && ok;
        task.setHasPrev(found);
        task.setPrevLabel(found ? prev : 0);
    }
    if (task.readNext() && !(extra && forward) && last != LastLabel) {
        quint32 next = 0;
        bool found = false;
        ok = m_modbuser.getNearestLabel(task.archIndex(), task.archType(), last + 1, next, TavrexBus::Forward,
                                        &found) && ok;
        task.setHasNext(found);
        task.setNextLabel(found ? next : 0);
    }
    return ok;
}

void ModbusClientExecutor::executeTaskArchPresence(ModbusTaskArchPresence &task)
{
    const bool forward = task.direction() == TavrexBus::Forward;
    const bool extra = task.count() == 1 || (task.readPrev() && !forward) || (task.readNext() && forward);
    task.setHasPrev(false);
    task.setHasNext(false);
    QList<quint32> labels;
    if (!readPresenceLabels(task, task.count() + (extra ? 1 : 0), labels)) {
        if (task.state() != TavrexBus::TaskAborted)
            fail(task);
        return;
    }
    bool ok = readPresenceNeighbours(task, labels, extra);
    quint32 edge = 0;
    if (ok && task.readFirst() && (ok = m_modbuser.getFirstLabel(task.archIndex(), task.archType(), edge)))
        task.setFirstLabel(edge);
    if (ok && task.readLast() && (ok = m_modbuser.getLastLabel(task.archIndex(), task.archType(), edge)))
        task.setLastLabel(edge);
    if (!ok) {
        fail(task);
        return;
    }
    task.setBytes(labelBlocks(labels));
    task.setState(TavrexBus::TaskDone);
}
