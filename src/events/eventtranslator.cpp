#include "eventtranslator.h"

#include "ievent.h"
#include "tavrexbuslogging_p.h"
#include "transporter.h"

#include <memory>

EventTranslator::EventTranslator(QObject *parent)
    : ErrObject(parent)
    , m_parser(this)
    , m_deparser(this)
{
    connect(&m_parser, &ErrObject::error, this, &EventTranslator::setErrorString);
    connect(&m_deparser, &ErrObject::error, this, &EventTranslator::setErrorString);
    m_ownTransporter = new Transporter(this);
    registerTransporter(*m_ownTransporter);
    m_transporter = m_ownTransporter;
}

EventTranslator::~EventTranslator()
{
    if (m_transporter)
        unregisterTransporter(*m_transporter);
    releaseForeignTransports();
}

// The own transporter closes every transport it still lists when it goes; a transport added
// without handing it over (a client's link, say) must stay open for its owner.
void EventTranslator::releaseForeignTransports()
{
    if (!m_ownTransporter)
        return;
    const QList<EventedTransport *> transports = m_ownTransporter->transports();
    for (EventedTransport *transport : transports) {
        if (transport->parent() != m_ownTransporter)
            m_ownTransporter->removeTransport(*transport);
    }
}

Transporter *EventTranslator::transporter() const
{
    return m_transporter;
}

void EventTranslator::setTransporter(Transporter &transporter)
{
    if (m_transporter == &transporter)
        return;
    if (m_transporter)
        unregisterTransporter(*m_transporter);
    registerTransporter(transporter);
    m_transporter = &transporter;
}

void EventTranslator::registerTransporter(Transporter &transporter)
{
    connect(&transporter, &Transporter::eventBytesReceived, this, &EventTranslator::onEventBytesReceived);
    connect(&transporter, &QObject::destroyed, this, &EventTranslator::onSomeoneDeleted);
    connect(&transporter, &ErrObject::error, this, &EventTranslator::setErrorString);
}

void EventTranslator::unregisterTransporter(Transporter &transporter)
{
    disconnect(&transporter, &Transporter::eventBytesReceived, this, &EventTranslator::onEventBytesReceived);
    disconnect(&transporter, &QObject::destroyed, this, &EventTranslator::onSomeoneDeleted);
    disconnect(&transporter, &ErrObject::error, this, &EventTranslator::setErrorString);
}

bool EventTranslator::checkTransporter()
{
    if (m_transporter)
        return true;
    setErrorString(tr("transporter == null"));
    return false;
}

QString EventTranslator::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("EventTranslator\n"), oneLine);
}

bool EventTranslator::send(const IEvent &event, const Target *target)
{
    if (!checkTransporter())
        return false;
    bool allow = true;
    emit eventSending(event, target, allow);
    if (!allow) {
        setErrorString(tr("outcoming event was blocked by dispatcher(s)"));
        return false;
    }
    ModbusBytes bytes;
    if (!m_deparser.deparse(event, bytes))
        return false;
    emit eventSent(event, target);
    return m_transporter->sendEventBytes(bytes, target);
}

void EventTranslator::onEventBytesReceived(ModbusBytes bytes, const Target *target)
{
    const std::unique_ptr<IEvent> event(m_parser.parse(bytes));
    if (!event)
        return;
    qCDebug(lcEvents) << "event received:" << event->toString(true);
    bool allow = true;
    emit eventReceiving(*event, target, allow);
    if (allow)
        emit eventReceived(*event, target);
}

void EventTranslator::onSomeoneDeleted(QObject *sender)
{
    if (sender == m_transporter)
        m_transporter = nullptr;
    if (sender == m_ownTransporter)
        m_ownTransporter = nullptr;
}
