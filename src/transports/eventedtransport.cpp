#include "eventedtransport.h"

#include "tavrexbuslogging_p.h"
#include "threadcall_p.h"
#include "transporteventreader.h"

EventedTransport::EventedTransport(QObject *parent, bool eventable)
    : Transport(parent)
    , m_eventable(eventable)
{
    if (!m_eventable)
        return;
    m_eventBufferTime = QDateTime::currentDateTime();
    m_eventReader = new TransportEventReader(*this, m_eventsCheckInterval, this);
    m_eventReader->setPriority(QThread::LowestPriority);
}

EventedTransport::~EventedTransport()
{
    // The reader polls this object: it must be gone before the subclass parts are.
    delete m_eventReader;
}

void EventedTransport::stopEventReader()
{
    delete m_eventReader;
    m_eventReader = nullptr;
}

int EventedTransport::eventsCheckInterval() const
{
    return m_eventsCheckInterval;
}

void EventedTransport::setEventsCheckInterval(int msecs)
{
    if (m_eventsCheckInterval == msecs)
        return;
    m_eventsCheckInterval = msecs;
    if (m_eventReader)
        m_eventReader->setInterval(msecs);
    emit eventsCheckIntervalChanged();
}

int EventedTransport::eventsTimeout() const
{
    return m_eventsTimeout;
}

void EventedTransport::setEventsTimeout(int msecs)
{
    if (m_eventsTimeout == msecs)
        return;
    m_eventsTimeout = msecs;
    emit eventsTimeoutChanged();
}

bool EventedTransport::eventable() const
{
    return m_eventable;
}

bool EventedTransport::checkEvents()
{
    if (!m_eventable)
        return false;
    postToOwnerThread(this, [this] { checkEventsSync(); });
    return true;
}

bool EventedTransport::checkEventsSync()
{
    if (!m_eventable || !connected())
        return false;
    QList<ModbusBytes> records;
    {
        const std::lock_guard locker(*mutex());
        const bool ok = readEventBytes(m_eventBuffer, nullptr);
        if (ok)
            m_eventBufferTime = QDateTime::currentDateTime();
        // Only bytes actually read are stale leftovers of the time before; an empty poll says nothing.
        if (m_firstEventsPending && ok) {
            if (!m_eventBuffer.isEmpty())
                qCDebug(lcEvents) << "discarded first events: " << m_eventBuffer.toHex(' ');
            m_eventBuffer.clear();
            m_firstEventsPending = false;
        }
        if (!ok) {
            dropStalePartialRecord();
            return false;
        }
        records = splitEventRecords();
    }
    for (const ModbusBytes &record : std::as_const(records))
        emit eventBytesReceived(record, defaultTarget());
    return !records.isEmpty();
}

void EventedTransport::dropStalePartialRecord()
{
    if (m_eventBuffer.isEmpty() || m_eventBufferTime.msecsTo(QDateTime::currentDateTime()) <= m_eventsTimeout)
        return;
    setErrorString(tr("incomplete event record dropped: %1").arg(QString::fromLatin1(m_eventBuffer.toHex(' '))));
    m_eventBuffer.clear();
}

ModbusBytes EventedTransport::frameEventRecord(const ModbusBytes &record)
{
    if (record.size() > MaxEventRecordSize)
        return ModbusBytes();
    ModbusBytes frame;
    frame.append(char(record.size() + 1));
    frame.append(record);
    return frame;
}

QList<ModbusBytes> EventedTransport::splitEventRecords()
{
    QList<ModbusBytes> records;
    while (!m_eventBuffer.isEmpty()) {
        const int length = static_cast<uchar>(m_eventBuffer.at(0));
        if (length == 0) {
            m_eventBuffer.remove(0, 1);
            break;
        }
        if (length > m_eventBuffer.size())
            break;
        records.append(ModbusBytes(m_eventBuffer.mid(1, length - 1)));
        m_eventBuffer.remove(0, length);
    }
    return records;
}

void EventedTransport::afterConnected()
{
    m_firstEventsPending = true;
}

void EventedTransport::afterDisconnected()
{
    m_firstEventsPending = true;
}

bool EventedTransport::readEventBytes(ModbusBytes &, QString *)
{
    return false;
}
