#ifndef TAVREXBUS1_MODBUSTFTPCLIENT_H
#define TAVREXBUS1_MODBUSTFTPCLIENT_H

#include "modbusiptarget.h"
#include "modbustransport.h"

#include <QtCore/QThread>

#include <mutex>

class QUdpSocket;

/// A link to one device that carries Modbus RTU frames in TFTP packets over UDP: each request is
/// a read request for the file "=<frame in hexadecimal>", answered by DATA block 1 with the answer
/// frame and acknowledged. Exchanges may be made from any thread; the socket lives on a thread of
/// its own.
///
/// Available in QML as `ModbusTFtpClient` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusTFtpClient : public ModbusTransport
{
    Q_OBJECT
    /// The device's address (an IPv4 or IPv6 literal); used at the next exchange.
    Q_PROPERTY(QString address READ addressStr WRITE setAddressStr NOTIFY addressChanged)
    /// The device's TFTP port, 502 by default.
    Q_PROPERTY(int port READ port WRITE setPort NOTIFY portChanged)

public:
    /// A client of 127.0.0.1, port 502.
    explicit ModbusTFtpClient(QObject *parent = nullptr);
    /// A client of the address and port of target.
    explicit ModbusTFtpClient(const ModbusIpTarget &target, QObject *parent = nullptr);
    ~ModbusTFtpClient() override;

    /// The device's address.
    QHostAddress address() const;
    /// Sets the device's address; used at the next exchange.
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
    /// How long to wait for the connection, in milliseconds; 1000 by default. UDP has no connection to
    /// wait for, so it is only kept with the settings.
    int connectTimeout() const;
    /// Sets the connect timeout.
    void setConnectTimeout(int msecs);
    /// How long to wait for the answer packet, in milliseconds; 1000 by default.
    int readAnswerTimeout() const;
    /// Sets how long to wait for the answer packet.
    void setReadAnswerTimeout(int msecs);
    /// How long to wait for a request to be written, in milliseconds; 1000 by default. A datagram is
    /// sent at once, so it is only kept with the settings.
    int writeTimeout() const;
    /// Sets the write timeout.
    void setWriteTimeout(int msecs);

    /// The text of a TFTP error code, as messages show it.
    static QString tftpErrorStr(quint16 code);

    /// Sends the RTU frame bytes to the device and, when answer is given, waits for its answer
    /// frame. Only DATA block 1 is an answer; an ERROR packet or any other packet fails the exchange.
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    /// The same to the client's own target.
    bool sendBytes(const ModbusBytes &bytes, ModbusBytes *answer, QString *error = nullptr);
    bool hasTarget(const Target *target) override;
    int targetsCount() const override;
    int bytesAvailable(const Target *target) override;
    Target *clientTarget() override;
    ModbusParser *createParser(QObject *parent) override;
    ModbusDeparser *createDeparser(QObject *parent) override;

    /// The read request packet that carries frame.
    ModbusBytes packBytes(const ModbusBytes &frame) const;

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
    void onSocketDisconnected();

private:
    enum class Receipt { Waiting, Answer, Failure };

    bool openSocket(QString &failure);
    bool exchange(const ModbusBytes &bytes, ModbusBytes *answer, QString &failure);
    bool awaitAnswer(QString &failure);
    void takeAnswer(const QByteArray &packet, quint16 fromPort);
    void fail(const QString &message);

    ModbusIpTarget m_target;
    QUdpSocket *m_socket = nullptr;
    int m_disconnectTimeout = 1000;
    int m_connectTimeout = 1000;
    int m_readAnswerTimeout = 1000;
    int m_writeTimeout = 1000;
    bool m_disconnecting = false;
    std::mutex m_sendMutex;
    QThread m_socketThread;
    // State of the exchange in progress; touched only on the socket thread.
    ModbusBytes m_answerBuffer;
    bool m_awaiting = false;
    Receipt m_receipt = Receipt::Waiting;
    QString m_failure;
    quint16 m_answerPort = 0;
    bool m_answerMayBeLate = false;
};

#endif
