#ifndef TAVREXBUS1_MODBUSLOOPBACKCLIENT_H
#define TAVREXBUS1_MODBUSLOOPBACKCLIENT_H

#include "modbusloopbackserver.h"
#include "modbustarget.h"
#include "modbustransport.h"

#include <QtCore/QPointer>

#include <memory>
#include <mutex>

class TransportLifeline;

/// The client end of an in-process link: every request is answered by its loopback server.
///
/// Available in QML as `ModbusLoopbackClient` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusLoopbackClient : public ModbusTransport
{
    Q_OBJECT
    /// The loopback server that answers this client's requests; not owned.
    Q_PROPERTY(ModbusLoopbackServer *server READ server WRITE setServer NOTIFY serverChanged)

public:
    /// A client with no server yet.
    explicit ModbusLoopbackClient(QObject *parent = nullptr);
    /// A client answered by server.
    ModbusLoopbackClient(ModbusLoopbackServer &server, QObject *parent = nullptr);
    ~ModbusLoopbackClient() override;

    /// Getter of the server property.
    ModbusLoopbackServer *server() const;
    /// Setter of the server property.
    void setServer(ModbusLoopbackServer *server);
    /// The one peer of the link.
    ModbusTarget *target();

    Target *clientTarget() override;
    int bytesAvailable(const Target *target) override;
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    QString toString(bool oneLine = false) const override;
    /// Its server answers on the server's thread.
    bool answersOnThread(const QThread *thread) const override;
    void serveWaitingExchanges() override;

Q_SIGNALS:
    /// server changed.
    void serverChanged();

protected:
    bool connectTransportInternal() override;
    bool disconnectTransportInternal() override;
    void retire() override;

private Q_SLOTS:
    void onServerConnectedChanged();

private:
    ModbusTarget m_target;
    QPointer<ModbusLoopbackServer> m_server;
    // Requests come from other threads while the owner thread may swap or destroy the server:
    // they reach it through its lifeline.
    std::shared_ptr<TransportLifeline> m_serverLifeline;
    mutable std::mutex m_serverMutex;
};

#endif
