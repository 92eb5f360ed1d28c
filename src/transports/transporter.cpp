#include "transporter.h"

#include "eventedtransport.h"

#include <QtCore/QThread>

Transporter::Transporter(QObject *parent)
    : ErrObject(parent)
{
}

Transporter::~Transporter()
{
    disconnectTransports();
    const QList<EventedTransport *> transports = m_transports;
    for (EventedTransport *transport : transports)
        removeTransport(*transport);
}

QString Transporter::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Transporter\n"), oneLine);
}

QList<EventedTransport *> Transporter::transports() const
{
    return m_transports;
}

bool Transporter::sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer)
{
    EventedTransport *transport = getTransportByTarget(target);
    if (!transport) {
        setErrorString(tr("transport not found"));
        return false;
    }
    emit bytesSent(bytes, target);
    // On its own thread the transport's error signal reaches us anyway; from elsewhere it
    // would arrive late, so the message is collected and reported here.
    if (transport->thread() == QThread::currentThread())
        return transport->sendBytes(bytes, target, answer, nullptr);
    QString error;
    const bool ok = transport->sendBytes(bytes, target, answer, &error);
    if (!ok)
        setErrorString(error);
    return ok;
}

bool Transporter::sendEventBytes(const ModbusBytes &bytes, const Target *target)
{
    EventedTransport *transport = getTransportByTarget(target);
    if (!transport) {
        setErrorString(tr("transport not found"));
        return false;
    }
    emit eventBytesSent(bytes, target);
    return transport->sendEventBytes(bytes, target);
}

EventedTransport *Transporter::getTransportByTarget(const Target *target) const
{
    for (EventedTransport *transport : m_transports) {
        if (transport->hasTarget(target))
            return transport;
    }
    return nullptr;
}

bool Transporter::connectTransports()
{
    bool ok = true;
    for (EventedTransport *transport : std::as_const(m_transports)) {
        if (transport->thread() == QThread::currentThread() && !transport->connected())
            ok = transport->connectTransport(true) && ok;
    }
    return ok;
}

bool Transporter::disconnectTransports()
{
    bool ok = true;
    for (EventedTransport *transport : std::as_const(m_transports)) {
        if (transport->thread() != QThread::currentThread() || !transport->connected())
            continue;
        if (!transport->disconnectTransport()) {
            setErrorString(tr("error while connecting: %1").arg(transport->errorString()));
            ok = false;
        }
    }
    return ok;
}

void Transporter::addTransport(EventedTransport &transport, bool addAsChild)
{
    if (m_transports.contains(&transport))
        return;
    if (addAsChild)
        transport.setParent(this);
    m_transports.append(&transport);
    connect(&transport, &Transport::bytesReceived, this, &Transporter::bytesReceived);
    // The answer must be filled before the transport's emission returns, whichever thread
    // emits: the slot itself crosses to this object's thread when needed.
    connect(&transport, &Transport::requestBytesReceived, this, &Transporter::onRequestBytesReceived,
            Qt::DirectConnection);
    connect(&transport, &EventedTransport::eventBytesReceived, this, &Transporter::onEventBytesReceived);
    connect(&transport, &ErrObject::error, this, &Transporter::onTransportError);
    const Qt::ConnectionType destroyedType =
        transport.thread() == QThread::currentThread() ? Qt::DirectConnection : Qt::BlockingQueuedConnection;
    connect(&transport, &QObject::destroyed, this, qOverload<QObject *>(&Transporter::onTransportDestroyed),
            destroyedType);
    connect(&transport, &Transport::connectedChanged, this, &Transporter::onTransportConnectedChanged);
    emit transportsChanged();
}

void Transporter::addTransport(EventedTransport &transport)
{
    addTransport(transport, false);
}

void Transporter::removeTransport(EventedTransport &transport)
{
    if (!m_transports.contains(&transport))
        return;
    emit transportRemoving(transport);
    m_transports.removeOne(&transport);
    if (transport.parent() == this) {
        if (transport.connected())
            transport.disconnectTransport();
        transport.deleteLater();
    }
    detach(transport);
}

void Transporter::onRequestBytesReceived(ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [&] { onRequestBytesReceived(bytes, target, answerBytes); }, Qt::BlockingQueuedConnection);
        return;
    }
    emit requestBytesReceived(bytes, target, answerBytes);
    if (answerBytes)
        emit bytesSent(*answerBytes, target);
}

void Transporter::onTransportError(const QString &message)
{
    setErrorString(message);
}

void Transporter::onTransportDestroyed(QObject *transport)
{
    for (EventedTransport *listed : std::as_const(m_transports)) {
        if (static_cast<QObject *>(listed) != transport)
            continue;
        emit transportRemoving(*listed);
        m_transports.removeOne(listed);
        emit transportsChanged();
        return;
    }
}

void Transporter::onTransportDestroyed()
{
    onTransportDestroyed(sender());
}

void Transporter::onEventBytesReceived(ModbusBytes bytes, const Target *target)
{
    emit eventBytesReceived(bytes, target);
}

void Transporter::onTransportConnectedChanged()
{
    if (auto *transport = qobject_cast<Transport *>(sender()))
        emit connectedChanged(transport);
}

void Transporter::detach(EventedTransport &transport)
{
    disconnect(&transport, nullptr, this, nullptr);
    emit transportsChanged();
}
