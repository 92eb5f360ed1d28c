#include "recordedeventtransport.h"

RecordedEventTransport::RecordedEventTransport(QObject *parent)
    : EventedTransport(parent, true)
{
}

RecordedEventTransport::~RecordedEventTransport()
{
    stopEventReader();
}

void RecordedEventTransport::feed(const QList<QByteArray> &chunks)
{
    QMutexLocker locker(&m_lock);
    m_chunks.append(chunks);
}

int RecordedEventTransport::pendingChunks() const
{
    QMutexLocker locker(&m_lock);
    return int(m_chunks.size());
}

int RecordedEventTransport::reads() const
{
    return m_reads;
}

QList<QByteArray> RecordedEventTransport::sentFrames() const
{
    QMutexLocker locker(&m_lock);
    return m_sent;
}

ModbusTarget *RecordedEventTransport::target()
{
    return &m_target;
}

bool RecordedEventTransport::sendBytes(const ModbusBytes &, const Target *target, ModbusBytes *, QString *error)
{
    return checkCanSendBytes(target, error);
}

bool RecordedEventTransport::sendEventBytes(const ModbusBytes &bytes, const Target *target)
{
    if (!checkCanSendBytes(target, nullptr))
        return false;
    QMutexLocker locker(&m_lock);
    m_sent.append(frameEventRecord(bytes));
    return true;
}

bool RecordedEventTransport::hasTarget(const Target *target)
{
    return target == &m_target;
}

int RecordedEventTransport::targetsCount() const
{
    return 1;
}

int RecordedEventTransport::bytesAvailable(const Target *)
{
    return 0;
}

Target *RecordedEventTransport::defaultTarget()
{
    return &m_target;
}

QString RecordedEventTransport::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("recorded events\n"), oneLine);
}

bool RecordedEventTransport::connectTransportInternal()
{
    return true;
}

bool RecordedEventTransport::disconnectTransportInternal()
{
    return true;
}

bool RecordedEventTransport::readEventBytes(ModbusBytes &bytes, QString *)
{
    ++m_reads;
    QMutexLocker locker(&m_lock);
    if (m_chunks.isEmpty())
        return false;
    bytes.append(m_chunks.takeFirst());
    return true;
}
