#include "transporteventreader.h"

#include "eventedtransport.h"

#include <QtCore/QTimer>

TransportEventReader::TransportEventReader(EventedTransport &transport, int interval, QObject *parent)
    : QThread(parent)
    , m_transport(transport)
    , m_interval(interval)
{
    setObjectName(QStringLiteral("Transport event reader thread"));
    connect(&m_transport, &Transport::connectedChanged, this, &TransportEventReader::onConnectedChanged);
    start();
    setActive(m_transport.connected());
}

TransportEventReader::~TransportEventReader()
{
    setActive(false);
    quit();
    wait();
}

bool TransportEventReader::active() const
{
    return m_timer != nullptr;
}

void TransportEventReader::setActive(bool value)
{
    if (value == active())
        return;
    if (!value) {
        // The timer lives on the reader thread and must be stopped and deleted there.
        m_timer->deleteLater();
        m_timer = nullptr;
        return;
    }
    m_timer = new QTimer;
    m_timer->setInterval(m_interval);
    connect(m_timer, &QTimer::timeout, &m_transport, &EventedTransport::checkEventsSync, Qt::DirectConnection);
    m_timer->moveToThread(this);
    QMetaObject::invokeMethod(m_timer, "start", Qt::QueuedConnection);
}

int TransportEventReader::interval() const
{
    return m_interval;
}

void TransportEventReader::setInterval(int msecs)
{
    m_interval = msecs;
    if (active()) {
        setActive(false);
        setActive(true);
    }
}

void TransportEventReader::onConnectedChanged()
{
    setActive(m_transport.connected());
}
