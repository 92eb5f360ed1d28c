#ifndef TAVREXBUS1_MODBUSTFTPSERVER_H
#define TAVREXBUS1_MODBUSTFTPSERVER_H

#include "modbusiptransport.h"

#include <QtNetwork/QHostAddress>
#include <QtNetwork/QUdpSocket>

class ModbusIpTarget;

/// Answers Modbus RTU requests that arrive as TFTP read requests over UDP: the file name "=" and
/// the request frame in hexadecimal; the answer frame goes back as DATA block 1. A sender is a
/// target only while its datagram is handled, so answers are made inside requestBytesReceived.
/// Everything runs on the thread the server lives in.
///
/// Available in QML as `ModbusTFtpServer` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusTFtpServer : public ModbusIpTransport
{
    Q_OBJECT
public:
    /// A server on port 69.
    explicit ModbusTFtpServer(QObject *parent = nullptr);
    /// A server on port (0: a free port, chosen when listening starts).
    explicit ModbusTFtpServer(int port, QObject *parent = nullptr);
    ~ModbusTFtpServer() override;

    /// The text of a TFTP error code, as messages show it.
    static QString tftpErrorStr(quint16 code);

    /// Sends the frame bytes as DATA block 1 to target, which must be the sender of the datagram
    /// being handled; with answer, waits for the sender's next request and gives its frame.
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    bool hasTarget(const Target *target) override;
    int targetsCount() const override;
    int bytesAvailable(const Target *target) override;

    /// The DATA packet that carries frame.
    ModbusBytes packBytes(const ModbusBytes &frame) const;
    /// The request frame a datagram carries; empty (and reported) when it carries none.
    ModbusBytes depackBytes(const ModbusBytes &datagram);

    QString toString(bool oneLine) const override;

protected:
    bool connectTransportInternal() override;
    bool disconnectTransportInternal() override;

private Q_SLOTS:
    void onReadyRead();

private:
    bool readDatagram(QByteArray &datagram, QHostAddress &sender, quint16 &senderPort);
    void serve(const QByteArray &datagram, const QHostAddress &sender, quint16 senderPort);
    void refuse(const QString &message, quint16 code, const QHostAddress &sender, quint16 senderPort);

    const ModbusIpTarget *m_currentTarget = nullptr;
    QUdpSocket m_socket;
    ModbusBytes m_requestBuffer;
};

#endif
