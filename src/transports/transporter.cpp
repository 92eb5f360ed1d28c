#include "transporter.h"

#include "eventedtransport.h"
#include "tavrexbuslogging_p.h"
#include "threadcall_p.h"
#include "transportlifeline_p.h"

#include <QtCore/QMetaMethod>
#include <QtCore/QThread>

namespace {

// Frames appear in the traffic log as the translator's messages print them.
QByteArray frameText(const ModbusBytes &frame)
{
    return frame.toHex(' ').toUpper();
}

} // namespace

Transporter::Transporter(QObject *parent)
    : ErrObject(parent)
{
}

Transporter::~Transporter()
{
    disconnectTransports();
    const QList<Entry> entries = m_entries;
    for (const Entry &entry : entries)
        removeEntry(entry);
}

QString Transporter::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Transporter\n"), oneLine);
}

QList<EventedTransport *> Transporter::transports() const
{
    QList<EventedTransport *> transports;
    for (const Entry &entry : m_entries) {
        if (entry.lifeline->isOpen())
            transports.append(entry.transport);
    }
    return transports;
}

bool Transporter::sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer)
{
    return sendBytes(leaseByTarget(target), bytes, target, answer);
}

bool Transporter::sendBytes(const TransportLease &held, const ModbusBytes &bytes, const Target *target,
                            ModbusBytes *answer)
{
    Transport *transport = held.transport();
    if (!transport) {
        setErrorString(tr("transport not found"));
        return false;
    }
    announce(&Transporter::bytesSent, bytes, target);
    qCDebug(lcTraffic).noquote() << "sent" << frameText(bytes);
    // On its own thread the transport's error signal reaches us anyway; from elsewhere it
    // would arrive late, so the message is collected and reported here.
    QString error;
    const bool onOwnThread = transport->thread() == QThread::currentThread();
    const bool ok = transport->sendBytes(bytes, target, answer, onOwnThread ? nullptr : &error);
    if (!ok && !onOwnThread)
        setErrorString(error);
    if (ok && answer)
        qCDebug(lcTraffic).noquote() << "received" << frameText(*answer);
    return ok;
}

bool Transporter::sendEventBytes(const ModbusBytes &bytes, const Target *target)
{
    const TransportLease held = leaseByTarget(target);
    if (!held) {
        setErrorString(tr("transport not found"));
        return false;
    }
    emit eventBytesSent(bytes, target);
    return held.transport()->sendEventBytes(bytes, target);
}

EventedTransport *Transporter::getTransportByTarget(const Target *target) const
{
    return static_cast<EventedTransport *>(leaseByTarget(target).transport());
}

TransportLease Transporter::leaseByTarget(const Target *target) const
{
    return lease([target](EventedTransport &transport) { return transport.hasTarget(target); });
}

TransportLease Transporter::lease(const std::function<bool(EventedTransport &)> &accepts) const
{
    for (const Entry &entry : m_entries) {
        TransportLease held(entry.lifeline);
        if (held && accepts(*entry.transport))
            return held;
    }
    return {};
}

TransportLease Transporter::lease(const EventedTransport *listed) const
{
    const qsizetype index = indexOf(listed);
    return index < 0 ? TransportLease() : TransportLease(m_entries.at(index).lifeline);
}

qsizetype Transporter::indexOf(const QObject *transport) const
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).object == transport)
            return i;
    }
    return -1;
}

// Transports of other threads are skipped; they are looked at only under a lease, as they may be going.
bool Transporter::connectTransports()
{
    bool ok = true;
    const QList<Entry> entries = m_entries;
    for (const Entry &entry : entries) {
        const TransportLease held(entry.lifeline);
        EventedTransport *transport = entry.transport;
        if (held && transport->thread() == QThread::currentThread() && !transport->connected())
            ok = transport->connectTransport(true) && ok;
    }
    return ok;
}

bool Transporter::disconnectTransports()
{
    bool ok = true;
    const QList<Entry> entries = m_entries;
    for (const Entry &entry : entries) {
        const TransportLease held(entry.lifeline);
        EventedTransport *transport = entry.transport;
        if (!held || transport->thread() != QThread::currentThread() || !transport->connected())
            continue;
        if (!transport->disconnectTransport()) {
            setErrorString(tr("error while connecting: %1").arg(transport->errorString()));
            ok = false;
        }
    }
    return ok;
}

// The caller vouches that the transport is alive: it lives on this thread or is leased.
void Transporter::addTransport(EventedTransport &transport, bool addAsChild)
{
    const qsizetype index = indexOf(&transport);
    if (index >= 0) {
        if (m_entries.at(index).lifeline->isOpen())
            return;
        // One that had this address went on another thread; its notice is still on the way.
        onTransportDestroyed(&transport);
    }
    std::shared_ptr<TransportLifeline> lifeline = TransportLifeline::of(transport);
    if (!lifeline->addHolder(*this))
        return;
    if (addAsChild)
        transport.setParent(this);
    m_entries.append({&transport, &transport, std::move(lifeline)});
    connect(&transport, &Transport::bytesReceived, this, &Transporter::onBytesReceived, Qt::DirectConnection);
    // The answer must be filled before the transport's emission returns, whichever thread
    // emits: the slot itself crosses to this object's thread when needed.
    connect(&transport, &Transport::requestBytesReceived, this, &Transporter::onRequestBytesReceived,
            Qt::DirectConnection);
    connect(&transport, &EventedTransport::eventBytesReceived, this, &Transporter::onEventBytesReceived);
    connect(&transport, &ErrObject::error, this, &Transporter::onTransportError);
    connect(&transport, &Transport::connectedChanged, this, &Transporter::onTransportConnectedChanged);
    emit transportsChanged();
}

void Transporter::addTransport(EventedTransport &transport)
{
    addTransport(transport, false);
}

void Transporter::removeTransport(EventedTransport &transport)
{
    const qsizetype index = indexOf(&transport);
    if (index >= 0)
        removeEntry(m_entries.at(index));
}

void Transporter::removeEntry(Entry entry)
{
    const TransportLease held(entry.lifeline);
    if (!held) {
        onTransportDestroyed(entry.object);
        return;
    }
    EventedTransport &transport = *entry.transport;
    emit transportRemoving(transport);
    const qsizetype index = indexOf(entry.object);
    if (index < 0)
        return;
    m_entries.removeAt(index);
    entry.lifeline->removeHolder(*this);
    if (transport.parent() == this) {
        if (transport.connected())
            transport.disconnectTransport();
        transport.deleteLater();
    }
    detach(transport);
}

void Transporter::onBytesReceived(ModbusBytes bytes, const Target *target)
{
    announce(&Transporter::bytesReceived, bytes, target);
}

// Traffic comes mostly from the executor's thread: a queued copy per frame would wake this
// object's thread on every exchange, listened to or not.
void Transporter::announce(void (Transporter::*signal)(ModbusBytes, const Target *), const ModbusBytes &bytes,
                           const Target *target)
{
    if (isSignalConnected(QMetaMethod::fromSignal(signal)))
        emitOnOwnerThread(this, signal, bytes, target);
}

// The answer must be there when the transport's emission returns, whichever thread emits.
void Transporter::onRequestBytesReceived(ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes)
{
    QString error;
    const bool answered = callOnOwnerThread(this, [&] {
        qCDebug(lcTraffic).noquote() << "request" << frameText(bytes);
        emit requestBytesReceived(bytes, target, answerBytes);
        if (!answerBytes)
            return;
        qCDebug(lcTraffic).noquote() << "answer" << frameText(*answerBytes);
        emit bytesSent(*answerBytes, target);
    }, &error);
    if (!answered)
        qCWarning(lcTransport).noquote() << tr("request left unanswered: %1").arg(error);
}

void Transporter::onTransportError(const QString &message)
{
    setErrorString(message);
}

// The transport went on its own thread and may be gone already: only its address is used.
void Transporter::onTransportDestroyed(QObject *transport)
{
    const qsizetype index = indexOf(transport);
    if (index < 0)
        return;
    const Entry entry = m_entries.takeAt(index);
    entry.lifeline->removeHolder(*this);
    emit transportWithdrawn(entry.transport);
    emit transportsChanged();
}

void Transporter::onTransportDestroyed()
{
    onTransportDestroyed(sender());
}

// The transport is going on this thread, still whole.
void Transporter::onTransportWithdrawn(Transport &transport)
{
    const qsizetype index = indexOf(&transport);
    if (index < 0)
        return;
    EventedTransport &listed = *m_entries.at(index).transport;
    emit transportRemoving(listed);
    m_entries.removeIf([&transport](const Entry &entry) { return entry.object == &transport; });
    detach(listed);
}

void Transporter::onEventBytesReceived(ModbusBytes bytes, const Target *target)
{
    emit eventBytesReceived(bytes, target);
}

// A notice may arrive after its transport went on another thread.
void Transporter::onTransportConnectedChanged()
{
    const qsizetype index = indexOf(sender());
    if (index < 0)
        return;
    const Entry entry = m_entries.at(index);
    const TransportLease held(entry.lifeline);
    if (held)
        emit connectedChanged(entry.transport);
}

void Transporter::detach(EventedTransport &transport)
{
    disconnect(&transport, nullptr, this, nullptr);
    emit transportsChanged();
}
