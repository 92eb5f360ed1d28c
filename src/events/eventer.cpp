#include "eventer.h"

#include "objectwatch_p.h"
#include "keypadevent.h"
#include "modbusc55client.h"
#include "modbuslibusbclient.h"
#include "systemevent.h"
#include "transporter.h"

Eventer::Eventer(QObject *parent)
    : ErrObject(parent)
    , m_translator(this)
{
    connect(&m_translator, &EventTranslator::eventReceived, this, &Eventer::onEventReceived);
    connect(&m_translator, &ErrObject::error, this, &Eventer::setErrorString);
    watch(m_translator.transporter());
}

Eventer::Eventer(QObject *parent, Transporter &transporter)
    : Eventer(parent)
{
    setTransporter(transporter);
}

Eventer::~Eventer()
{
    watch(nullptr);
}

EventedTransport *Eventer::transport() const
{
    const Transporter *transporter = m_translator.transporter();
    if (!transporter)
        return nullptr;
    const QList<EventedTransport *> transports = transporter->transports();
    return transports.isEmpty() ? nullptr : transports.first();
}

void Eventer::setTransport(EventedTransport *transport)
{
    Transporter *transporter = m_translator.transporter();
    if (transport == this->transport() || !m_translator.checkTransporter())
        return;
    m_replacing = true;
    const QList<EventedTransport *> transports = transporter->transports();
    for (EventedTransport *listed : transports)
        transporter->removeTransport(*listed);
    if (transport)
        transporter->addTransport(*transport, false);
    m_replacing = false;
    onTransportsChanged();
}

Transporter *Eventer::transporter() const
{
    return m_translator.transporter();
}

void Eventer::setTransporter(Transporter &transporter)
{
    m_translator.setTransporter(transporter);
    watch(&transporter);
    onTransportsChanged();
}

EventTranslator &Eventer::translator()
{
    return m_translator;
}

template <typename Client>
Client *Eventer::addClient()
{
    if (!m_translator.checkTransporter())
        return nullptr;
    auto *client = new Client();
    m_translator.transporter()->addTransport(*client, true);
    return client;
}

ModbusC55Client *Eventer::addC55Client()
{
    return addClient<ModbusC55Client>();
}

ModbusLibusbClient *Eventer::addLibusbClient()
{
    return addClient<ModbusLibusbClient>();
}

QString Eventer::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Eventer\n"), oneLine);
}

bool Eventer::connectTransports()
{
    return m_translator.checkTransporter() && m_translator.transporter()->connectTransports();
}

bool Eventer::disconnectTransports()
{
    return m_translator.checkTransporter() && m_translator.transporter()->disconnectTransports();
}

void Eventer::onEventReceived(const IEvent &event, const Target *)
{
    if (const auto *keypad = dynamic_cast<const KeypadEvent *>(&event)) {
        emit keypadEvent(keypad->keyCode());
    } else if (const auto *system = dynamic_cast<const SystemEvent *>(&event)) {
        emit systemEvent(system->code());
    } else {
        setErrorString(tr("unsupported event type received from event translator: %1")
                           .arg(GlobalEvents::EventTypeStr(event.type())));
    }
}

void Eventer::onTransportsChanged()
{
    if (m_replacing)
        return;
    EventedTransport *now = transport();
    if (now == m_shownTransport)
        return;
    m_shownTransport = now;
    emit transportChanged();
}

void Eventer::watch(Transporter *transporter)
{
    rewatch(this, m_watched, transporter, [this] { m_watched = nullptr; });
    if (transporter)
        connect(transporter, &Transporter::transportsChanged, this, &Eventer::onTransportsChanged);
}
