#ifndef MODBUSTCPSERVER_H
#define MODBUSTCPSERVER_H

#include "modbusiptransport.h"

#include <QtCore/QHash>
#include <QtCore/QTimer>
#include <QtNetwork/QHostAddress>

#include <memory>

class ModbusTcpTarget;
class QTcpServer;
class TcpPeerPoller;
struct ModbusTcpPeer;

/// Listens for Modbus/TCP clients and answers their requests through requestBytesReceived,
/// one target per connected peer; everything runs on the thread the server lives in.
///
/// A peer cannot make the server hold more than a few kilobytes for it: the server reads a
/// peer's requests only while the peer reads its answers, drops a partial request that stays
/// unfinished for readAnswerTimeout, and drops a peer whose answers stay unread for writeTimeout.
///
/// Available in QML as `ModbusTcpServer` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusTcpServer : public ModbusIpTransport
{
    Q_OBJECT
    /// The most peers served at once; 0 for no limit. A peer beyond it is disconnected as soon as
    /// it connects, and errorString counts the refused ones. 256 by default: each peer takes a
    /// descriptor, and a process usually may open 1024 in all, its files and links included.
    Q_PROPERTY(int maxConnections READ maxConnections WRITE setMaxConnections NOTIFY maxConnectionsChanged)

public:
    /// A server that will listen on port 502.
    explicit ModbusTcpServer(QObject *parent = nullptr);
    /// A server that will listen on port (0: a free one).
    explicit ModbusTcpServer(int port, QObject *parent = nullptr);
    ~ModbusTcpServer() override;

    /// Getter of the maxConnections property.
    int maxConnections() const;
    /// Setter of the maxConnections property; peers already connected stay when it is lowered.
    void setMaxConnections(int count);

    /// The bytes of the most recent read from any peer, whole frame or not.
    ModbusBytes lastChunk() const;

    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    bool waitForIncomingConnection() const override;
    bool hasTarget(const Target *target) override;
    int targetsCount() const override;
    int bytesAvailable(const Target *target) override;
    /// The bytes of answers waiting for target to read them; a peer is read on only while they
    /// are few, and dropped when they reach 64 KiB.
    qint64 bytesToWrite(const Target *target);
    /// Closes the connection of target's peer at once, answers it has not read included; the
    /// others are served on. False when target is no peer of this server.
    bool disconnectPeer(const Target *target);
    ModbusParser *createParser(QObject *parent) override;
    ModbusDeparser *createDeparser(QObject *parent) override;

    QString toString(bool oneLine) const override;

Q_SIGNALS:
    /// A peer connects; set allow to false to refuse it.
    void newClientConnection(ModbusTcpTarget *target, bool &allow);
    /// maxConnections changed.
    void maxConnectionsChanged();

protected:
    bool connectTransportInternal() override;
    bool disconnectTransportInternal() override;
    void timerEvent(QTimerEvent *event) override;

private Q_SLOTS:
    void onAcceptError();

private:
    std::shared_ptr<ModbusTcpPeer> peerOf(const Target *target);
    bool addTarget(ModbusTcpTarget *target);
    bool removeTarget(ModbusTcpTarget *target);
    void acceptPeer(int fd);
    void resumeAccepting();
    void onPeerReady(int fd, bool readable, bool writable);
    void serve(const std::shared_ptr<ModbusTcpPeer> &peer);
    bool receive(const std::shared_ptr<ModbusTcpPeer> &peer);
    void answerFrame(const std::shared_ptr<ModbusTcpPeer> &peer, const ModbusBytes &frame);
    bool writeFrame(const std::shared_ptr<ModbusTcpPeer> &peer, const ModbusBytes &bytes, QString *error);
    bool sendOutput(const std::shared_ptr<ModbusTcpPeer> &peer);
    bool writeOutput(const std::shared_ptr<ModbusTcpPeer> &peer);
    bool flushOutput(const std::shared_ptr<ModbusTcpPeer> &peer, int msecs);
    void updateWatch(ModbusTcpPeer &peer);
    void dropPartialFrame(ModbusTcpPeer &peer);
    void dropNonReader(const std::shared_ptr<ModbusTcpPeer> &peer);
    void removePeer(std::shared_ptr<ModbusTcpPeer> peer);

    int m_maxConnections = 256;
    int m_refusedConnections = 0;
    bool m_acceptFailing = false;
    bool m_acceptedSinceError = false;
    QTcpServer *m_listener = nullptr;
    std::unique_ptr<TcpPeerPoller> m_poller;
    QTimer m_acceptRetry;
    QList<ModbusTcpTarget *> m_targets;
    QHash<int, std::shared_ptr<ModbusTcpPeer>> m_peers;
    QHash<const Target *, std::shared_ptr<ModbusTcpPeer>> m_peersByTarget;
    ModbusBytes m_lastChunk;
};

#endif
