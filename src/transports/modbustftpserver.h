#ifndef TAVREXBUS1_MODBUSTFTPSERVER_H
#define TAVREXBUS1_MODBUSTFTPSERVER_H

#include "modbustransport.h"

#include <QtNetwork/QHostAddress>
#include <QtNetwork/QUdpSocket>

class ModbusIpTarget;

/// Answers Modbus RTU requests that arrive as TFTP read requests over UDP: the file name "=" and
/// the request frame in hexadecimal; the answer frame goes back as DATA block 1. A sender is a
/// target only while its datagram is handled, so answers are made inside requestBytesReceived.
/// Everything runs on the thread the server lives in.
///
/// Available in QML as `ModbusTFtpServer` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusTFtpServer : public ModbusTransport
{
    Q_OBJECT
    /// The address to listen on, any IPv4 address by default; used at the next connect.
    Q_PROPERTY(QString address READ addressStr WRITE setAddressStr NOTIFY addressChanged)
    /// The UDP port to listen on, 69 by default; 0 picks a free port when listening starts.
    Q_PROPERTY(int port READ port WRITE setPort NOTIFY portChanged)

public:
    /// A server on port 69.
    explicit ModbusTFtpServer(QObject *parent = nullptr);
    /// A server on port (0: a free port, chosen when listening starts).
    explicit ModbusTFtpServer(int port, QObject *parent = nullptr);
    ~ModbusTFtpServer() override;

    /// The address listened on.
    QHostAddress address() const;
    /// Sets the address to listen on; used at the next connect.
    void setAddress(const QHostAddress &address);
    /// Getter of the address property.
    QString addressStr() const;
    /// Setter of the address property; text that is no IP address is ignored.
    void setAddressStr(const QString &address);
    /// Getter of the port property.
    int port() const;
    /// Setter of the port property.
    void setPort(int port);

    /// How long to wait for an orderly close, in milliseconds; 1000 by default. UDP has no connection
    /// to close, so it is only kept with the settings.
    int disconnectTimeout() const;
    /// Sets the disconnect timeout.
    void setDisconnectTimeout(int msecs);
    /// How long sendBytes() waits for the sender's next request, in milliseconds; 1000 by default.
    int readAnswerTimeout() const;
    /// Sets how long sendBytes() waits for the sender's next request.
    void setReadAnswerTimeout(int msecs);
    /// How long to wait for an answer to be written, in milliseconds; 1000 by default. A datagram is
    /// sent at once, so it is only kept with the settings.
    int writeTimeout() const;
    /// Sets the write timeout.
    void setWriteTimeout(int msecs);

    /// The text of a TFTP error code, as messages show it.
    static QString tftpErrorStr(quint16 code);

    /// Sends the frame bytes as DATA block 1 to target, which must be the sender of the datagram
    /// being handled; with answer, waits for the sender's next request and gives its frame.
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    bool hasTarget(const Target *target) override;
    int targetsCount() const override;
    int bytesAvailable(const Target *target) override;
    ModbusParser *createParser(QObject *parent) override;
    ModbusDeparser *createDeparser(QObject *parent) override;

    /// The DATA packet that carries frame.
    ModbusBytes packBytes(const ModbusBytes &frame) const;
    /// The request frame a datagram carries; empty (and reported) when it carries none.
    ModbusBytes depackBytes(const ModbusBytes &datagram);

    QString toString(bool oneLine) const override;

Q_SIGNALS:
    /// address changed.
    void addressChanged();
    /// port changed.
    void portChanged();

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
    QHostAddress m_address{QHostAddress::AnyIPv4};
    int m_port = 69;
    int m_disconnectTimeout = 1000;
    int m_readAnswerTimeout = 1000;
    int m_writeTimeout = 1000;
    ModbusBytes m_requestBuffer;
};

#endif
