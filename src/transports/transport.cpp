#include "transport.h"

#include "target.h"
#include "tavrexbuslogging_p.h"
#include "transporter.h"
#include "transportlifeline_p.h"

#include <QtCore/QEvent>
#include <QtCore/QPointer>
#include <QtCore/QThread>
#include <QtCore/QTimer>

Transport::Transport(QObject *parent)
    : ErrObject(parent),
      m_lifeline(std::make_shared<TransportLifeline>(*this))
{
}

// Only a transport that has no parts of its own gets here without having withdrawn.
Transport::~Transport()
{
    withdraw();
}

void Transport::withdraw(const std::function<void()> &whileWaiting)
{
    const QList<Transporter *> holders = m_lifeline->close(whileWaiting);
    for (const QPointer<Transporter> &holder : QList<QPointer<Transporter>>(holders.cbegin(), holders.cend())) {
        if (holder)
            holder->onTransportWithdrawn(*this);
    }
}

void Transport::retire()
{
    withdraw();
}

bool Transport::event(QEvent *event)
{
    if (event->type() == QEvent::DeferredDelete)
        retire();
    return ErrObject::event(event);
}

bool Transport::connected() const
{
    return m_connected;
}

bool Transport::autoReconnect() const
{
    return m_autoReconnect;
}

void Transport::setAutoReconnect(bool value)
{
    if (m_autoReconnect == value)
        return;
    m_autoReconnect = value;
    emit autoReconnectChanged();
}

int Transport::autoReconnectInterval() const
{
    return m_autoReconnectInterval;
}

void Transport::setAutoReconnectInterval(int msecs)
{
    if (msecs >= 0)
        m_autoReconnectInterval = msecs;
}

bool Transport::connectAfterInit() const
{
    return m_connectAfterInit;
}

std::recursive_mutex *Transport::mutex()
{
    return &m_mutex;
}

void Transport::setConnected(bool value)
{
    if (!checkValidThread())
        return;
    if (initializing()) {
        m_connectAfterInit = value;
        return;
    }
    if (value)
        connectTransport(true);
    else
        disconnectTransport();
}

bool Transport::waitForIncomingConnection() const
{
    return false;
}

bool Transport::sendEventBytes(const ModbusBytes &, const Target *)
{
    return false;
}

Target *Transport::defaultTarget()
{
    return nullptr;
}

bool Transport::answersOnThread(const QThread *) const
{
    return false;
}

void Transport::serveWaitingExchanges()
{
}

void Transport::componentComplete()
{
    MyDeclarativeParserStatus::componentComplete();
    // QML deletes its objects' children only after telling that the parent goes.
    if (QObject *owner = parent())
        connect(owner, &QObject::destroyed, this, &Transport::retire);
    // Opened only once every property of the declaration has been applied.
    if (m_connectAfterInit)
        QMetaObject::invokeMethod(this, "setConnected", Qt::QueuedConnection, Q_ARG(bool, true));
}

bool Transport::connectTransport(bool force)
{
    if (!checkValidThread())
        return false;
    std::unique_lock locker(m_mutex);
    if (m_connected) {
        setErrorString(tr("also connected"));
        return false;
    }
    if (!connectTransportInternal()) {
        if (force) {
            m_reconnectPending = true;
            scheduleReconnect();
        }
        return false;
    }
    m_connected = true;
    m_reconnectPending = false;
    qCDebug(lcTransport).noquote() << "connected" << toString(true);
    afterConnected();
    locker.unlock();
    emit transportConnected();
    emit connectedChanged();
    return true;
}

bool Transport::connectTransport()
{
    return connectTransport(true);
}

bool Transport::disconnectTransport()
{
    if (!checkValidThread())
        return false;
    std::unique_lock locker(m_mutex);
    if (m_reconnectPending) {
        m_reconnectPending = false;
        if (!m_connected)
            return true;
    }
    if (!m_connected) {
        setErrorString(tr("also disconnected"));
        return false;
    }
    if (!disconnectTransportInternal())
        return false;
    m_connected = false;
    qCDebug(lcTransport).noquote() << "disconnected" << toString(true);
    afterDisconnected();
    locker.unlock();
    emit transportDisconnected();
    emit connectedChanged();
    return true;
}

void Transport::afterConnected()
{
}

void Transport::afterDisconnected()
{
}

void Transport::setErrorString(const QString &message, QString *error)
{
    if (error)
        *error = message;
    else
        setErrorString(message);
}

void Transport::setConnectError(const QString &message)
{
    // Only the first failure of a run of reconnection attempts is worth telling.
    if (!m_reconnectPending)
        setErrorString(message, nullptr);
    else
        qCDebug(lcTransport).noquote() << "reconnection failed:" << message;
}

bool Transport::checkCanSendBytes(const Target *target, QString *error, bool linkUp)
{
    if (!m_connected || !linkUp) {
        setErrorString(tr("can't send bytes via disconnected transport"), error);
        return false;
    }
    if (!hasTarget(target)) {
        setErrorString(tr("incorrect target to send bytes"), error);
        return false;
    }
    return true;
}

bool Transport::checkCanCountBytes(const Target *target)
{
    if (hasTarget(target))
        return true;
    setErrorString(tr("unknown target, bytes available will be 0"));
    return false;
}

bool Transport::checkValidThread()
{
    if (QThread::currentThread() == thread())
        return true;
    setErrorString(tr("this method can be run only in owned thread"));
    return false;
}

void Transport::autoDisconnect()
{
    if (m_connected)
        setConnected(false);
    if (m_autoReconnect) {
        m_reconnectPending = true;
        scheduleReconnect();
    }
}

void Transport::doReconnect()
{
    m_reconnectScheduled = false;
    if (!m_connected && m_reconnectPending)
        connectTransport(true);
    else
        m_reconnectPending = false;
}

void Transport::scheduleReconnect()
{
    if (m_reconnectScheduled)
        return;
    m_reconnectScheduled = true;
    QTimer::singleShot(m_autoReconnectInterval, this, &Transport::doReconnect);
}
