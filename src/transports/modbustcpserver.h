#ifndef MODBUSTCPSERVER_H
#define MODBUSTCPSERVER_H

#include "modbusiptransport.h"

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
class TAVREXBUS1_EXPORT ModbusTcpServer : public ModbusIpTransport
{
    Q_OBJECT
public:
    /// A server that will listen on port 502.
    explicit ModbusTcpServer(QObject *parent = nullptr);
    /// A server that will listen on port (0: a free one).
    explicit ModbusTcpServer(int port, QObject *parent = nullptr);
    ~ModbusTcpServer() override;

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

    QTcpServer m_server;
    QList<QTcpSocket *> m_sockets;
    QList<ModbusTcpTarget *> m_targets;
    QHash<const QTcpSocket *, ModbusTcpPeer *> m_peers;
    ModbusBytes m_lastChunk;
};

#endif
