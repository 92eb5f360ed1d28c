#include "recordedeventtransport.h"

void RecordedEventTransport::feed(const QList<QByteArray> &chunks)
{
    const std::lock_guard locker(m_lock);
    m_chunks.append(chunks);
}

int RecordedEventTransport::pendingChunks() const
{
    const std::lock_guard locker(m_lock);
    return int(m_chunks.size());
}

QList<QByteArray> RecordedEventTransport::sentFrames() const
{
    const std::lock_guard locker(m_lock);
    return m_sent;
}

bool RecordedEventTransport::sendEventBytes(const ModbusBytes &bytes, const Target *target)
{
    if (!checkCanSendBytes(target, nullptr))
        return false;
    const std::lock_guard locker(m_lock);
    m_sent.append(frameEventRecord(bytes));
    return true;
}

bool RecordedEventTransport::readEventBytes(ModbusBytes &bytes, QString *)
{
    ++m_reads;
    const std::lock_guard locker(m_lock);
    if (m_chunks.isEmpty())
        return false;
    bytes.append(m_chunks.takeFirst());
    return true;
}
