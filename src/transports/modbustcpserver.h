#ifndef MODBUSTCPSERVER_H
#define MODBUSTCPSERVER_H

#include "modbustransport.h"

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
class TAVREXBUS1_EXPORT ModbusTcpServer : public ModbusTransport
{
    Q_OBJECT
    /// The address to listen on, as text; any IPv4 address by default.
    Q_PROPERTY(QString address READ addressStr WRITE setAddressStr NOTIFY addressChanged)
    /// The port to listen on; 502 by default.
    Q_PROPERTY(int port READ port WRITE setPort NOTIFY portChanged)
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

    /// The listening address.
    QHostAddress address() const;
    /// Sets the listening address; used at the next connect.
    void setAddress(const QHostAddress &address);
    /// Getter of the address property.
    QString addressStr() const;
    /// Setter of the address property.
    void setAddressStr(const QString &address);
    /// Port 0 picks a free port when listening starts; port() then tells which.
    int port() const;
    /// Setter of the port property.
    void setPort(int port);

    /// Getter of the maxConnections property.
    int maxConnections() const;
    /// Setter of the maxConnections property; peers already connected stay when it is lowered.
    void setMaxConnections(int count);

    /// How long waitForIncomingConnection() waits for a peer, in milliseconds; 1000 by default.
    int connectTimeout() const;
    /// Sets how long to wait for a peer.
    void setConnectTimeout(int msecs);
    /// How long to wait for each peer to close, in milliseconds; 1000 by default.
    int disconnectTimeout() const;
    /// Sets how long to wait for each peer to close.
    void setDisconnectTimeout(int msecs);
    /// Also how long a partly received request waits for its rest.
    int readAnswerTimeout() const;
    /// Sets how long a partly received request waits for its rest.
    void setReadAnswerTimeout(int msecs);
    /// How long to wait for a frame to be written, in milliseconds; 1000 by default. Also how long
    /// a peer may leave its answers unread before it is disconnected.
    int writeTimeout() const;
    /// Sets how long to wait for a frame to be written, or for a peer to read its answers.
    void setWriteTimeout(int msecs);

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
    ModbusParser *createParser(QObject *parent) override;
    ModbusDeparser *createDeparser(QObject *parent) override;

    QString toString(bool oneLine) const override;

Q_SIGNALS:
    /// A peer connects; set allow to false to refuse it.
    void newClientConnection(ModbusTcpTarget *target, bool &allow);
    /// address changed.
    void addressChanged();
    /// port changed.
    void portChanged();
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
    bool flushOutput(const std::shared_ptr<ModbusTcpPeer> &peer, int msecs);
    void updateWatch(ModbusTcpPeer &peer);
    void dropPartialFrame(ModbusTcpPeer &peer);
    void dropNonReader(const std::shared_ptr<ModbusTcpPeer> &peer);
    void removePeer(std::shared_ptr<ModbusTcpPeer> peer);

    int m_port = 502;
    int m_maxConnections = 256;
    int m_refusedConnections = 0;
    bool m_acceptFailing = false;
    bool m_acceptedSinceError = false;
    QHostAddress m_address{QHostAddress::AnyIPv4};
    QTcpServer *m_listener = nullptr;
    std::unique_ptr<TcpPeerPoller> m_poller;
    QTimer m_acceptRetry;
    QList<ModbusTcpTarget *> m_targets;
    QHash<int, std::shared_ptr<ModbusTcpPeer>> m_peers;
    int m_connectTimeout = 1000;
    int m_disconnectTimeout = 1000;
    int m_readAnswerTimeout = 1000;
    int m_writeTimeout = 1000;
    ModbusBytes m_lastChunk;
};

#endif
