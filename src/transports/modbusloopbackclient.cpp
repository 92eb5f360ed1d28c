#include "modbusloopbackclient.h"

#include "modbusloopbackserver.h"
#include "transportlifeline_p.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QThread>

ModbusLoopbackClient::ModbusLoopbackClient(QObject *parent)
    : ModbusTransport(TavrexBus::ClientBus, parent, false)
{
}

ModbusLoopbackClient::ModbusLoopbackClient(ModbusLoopbackServer &server, QObject *parent)
    : ModbusLoopbackClient(parent)
{
    setServer(&server);
}

ModbusLoopbackClient::~ModbusLoopbackClient()
{
    retire();
}

void ModbusLoopbackClient::retire()
{
    withdraw([this] { serveWaitingExchanges(); });
}

bool ModbusLoopbackClient::answersOnThread(const QThread *thread) const
{
    const ModbusLoopbackServer *server = this->server();
    return server && server->thread() == thread;
}

void ModbusLoopbackClient::serveWaitingExchanges()
{
    ModbusLoopbackServer *server = this->server();
    if (server && server->thread() == QThread::currentThread())
        QCoreApplication::sendPostedEvents(server, QEvent::MetaCall);
}

ModbusLoopbackServer *ModbusLoopbackClient::server() const
{
    const std::lock_guard locker(m_serverMutex);
    return m_server;
}

void ModbusLoopbackClient::setServer(ModbusLoopbackServer *server)
{
    ModbusLoopbackServer *old = this->server();
    if (old == server)
        return;
    if (old)
        disconnect(old, nullptr, this, nullptr);
    {
        const std::lock_guard locker(m_serverMutex);
        m_server = server;
        m_serverLifeline = server ? TransportLifeline::of(*server) : nullptr;
    }
    if (server) {
        connect(server, &Transport::connectedChanged, this, &ModbusLoopbackClient::onServerConnectedChanged,
                Qt::UniqueConnection);
        connect(server, &QObject::destroyed, this, [this] {
            // The guarded pointer is already null here; only the link is left to close.
            {
                const std::lock_guard locker(m_serverMutex);
                m_serverLifeline.reset();
            }
            if (connected())
                disconnectTransport();
            emit serverChanged();
        });
    } else if (connected()) {
        disconnectTransport();
    }
    emit serverChanged();
}

ModbusTarget *ModbusLoopbackClient::target()
{
    return &m_target;
}

Target *ModbusLoopbackClient::clientTarget()
{
    return &m_target;
}

int ModbusLoopbackClient::bytesAvailable(const Target *)
{
    return 0;
}

bool ModbusLoopbackClient::sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                                     QString *error)
{
    if (!checkCanSendBytes(target, error))
        return false;
    std::shared_ptr<TransportLifeline> lifeline;
    {
        const std::lock_guard locker(m_serverMutex);
        lifeline = m_serverLifeline;
    }
    const TransportLease server(std::move(lifeline));
    if (!server) {
        setErrorString(tr("server loopback transport doesn't assigned"), error);
        return false;
    }
    ModbusBytes reply;
    QString unanswered;
    if (!static_cast<ModbusLoopbackServer *>(server.transport())->emulateBytesReceived(bytes, reply, &unanswered)) {
        setErrorString(unanswered, error);
        return false;
    }
    if (!answer)
        return true;
    *answer = reply;
    if (answer->isEmpty()) {
        setErrorString(tr("zero length answer received"), error);
        return false;
    }
    emit bytesReceived(*answer, target);
    return true;
}

QString ModbusLoopbackClient::toString(bool) const
{
    return QStringLiteral("ModbusLoopback client");
}

bool ModbusLoopbackClient::connectTransportInternal()
{
    ModbusLoopbackServer *server = this->server();
    if (!server) {
        setConnectError(tr("server loopback transport doesn't assigned"));
        return false;
    }
    if (!server->connected() && !server->connectAfterInit()) {
        setConnectError(tr("server loopback transport disconnected"));
        return false;
    }
    connect(server, &Transport::connectedChanged, this, &ModbusLoopbackClient::onServerConnectedChanged,
            Qt::UniqueConnection);
    return true;
}

bool ModbusLoopbackClient::disconnectTransportInternal()
{
    return true;
}

void ModbusLoopbackClient::onServerConnectedChanged()
{
    ModbusLoopbackServer *server = this->server();
    if (!server || !server->connected())
        setServer(nullptr);
}
