#ifndef MODBUSTCPSERVER_H
#define MODBUSTCPSERVER_H

#include "modbustransport.h"

#include <QtCore/QHash>
#include <QtNetwork/QHostAddress>
#include <QtNetwork/QTcpServer>

class ModbusTcpTarget;
class QTcpSocket;
struct ModbusTcpPeer;

/// Listens for Modbus/TCP clients and answers their requests through requestBytesReceived,
/// one target per connected peer; everything runs on the thread the server lives in.
///
/// Available in QML as `ModbusTcpServer` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusTcpServer : public ModbusTransport
{
    Q_OBJECT
    /// The address to listen on, as text; any IPv4 address by default.
    Q_PROPERTY(QString address READ addressStr WRITE setAddressStr NOTIFY addressChanged)
    /// The port to listen on; 502 by default.
    Q_PROPERTY(int port READ port WRITE setPort NOTIFY portChanged)

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
    /// How long to wait for a frame to be written, in milliseconds; 1000 by default.
    int writeTimeout() const;
    /// Sets how long to wait for a frame to be written.
    void setWriteTimeout(int msecs);

    /// The bytes of the most recent read from any peer, whole frame or not.
    ModbusBytes lastChunk() const;

    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    bool waitForIncomingConnection() const override;
    bool hasTarget(const Target *target) override;
    int targetsCount() const override;
    int bytesAvailable(const Target *target) override;
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

protected:
    bool connectTransportInternal() override;
    bool disconnectTransportInternal() override;

private Q_SLOTS:
    void onNewConnection();
    void onReadyRead();
    void onSocketDisconnected();

private:
    ModbusTcpTarget *targetOf(const QTcpSocket *socket) const;
    QTcpSocket *socketOf(const Target *target);
    bool addTarget(ModbusTcpTarget *target);
    bool removeTarget(ModbusTcpTarget *target);
    void answerFrames(QTcpSocket *socket, ModbusTcpTarget *target);
    void answerFrame(const ModbusBytes &frame, ModbusTcpTarget *target);
    void dropPartialFrame(QTcpSocket *socket);
    void removeSocket(QTcpSocket *socket);

    int m_port = 502;
    QHostAddress m_address{QHostAddress::AnyIPv4};
    QTcpServer m_server;
    QList<QTcpSocket *> m_sockets;
    QList<ModbusTcpTarget *> m_targets;
    QHash<const QTcpSocket *, ModbusTcpPeer *> m_peers;
    int m_connectTimeout = 1000;
    int m_disconnectTimeout = 1000;
    int m_readAnswerTimeout = 1000;
    int m_writeTimeout = 1000;
    ModbusBytes m_lastChunk;
};

#endif
