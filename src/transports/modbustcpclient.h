#ifndef MODBUSTCPCLIENT_H
#define MODBUSTCPCLIENT_H

#include "modbustcptarget.h"
#include "modbustransport.h"

#include <QtCore/QThread>

#include <mutex>

class QTcpSocketInvokable;

/// A Modbus/TCP link to one device. Exchanges may be made from any thread; the socket itself
/// lives on a thread of its own.
///
/// Available in QML as `ModbusTcpClient` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusTcpClient : public ModbusTransport
{
    Q_OBJECT
    /// The device's IP address, as text; 127.0.0.1 by default.
    Q_PROPERTY(QString address READ addressStr WRITE setAddressStr NOTIFY addressChanged)
    /// The device's TCP port; 502 by default.
    Q_PROPERTY(int port READ port WRITE setPort NOTIFY portChanged)

public:
    /// A closed link to 127.0.0.1, port 502.
    explicit ModbusTcpClient(QObject *parent = nullptr);
    /// A closed link to address and port.
    ModbusTcpClient(const QHostAddress &address, int port, QObject *parent = nullptr);
    /// A closed link to the peer target names.
    explicit ModbusTcpClient(const ModbusTcpTarget &target, QObject *parent = nullptr);
    ~ModbusTcpClient() override;

    /// The device's address.
    QHostAddress address() const;
    /// Sets the device's address; used at the next connect.
    void setAddress(const QHostAddress &address);
    /// Getter of the address property.
    QString addressStr() const;
    /// Setter of the address property.
    void setAddressStr(const QString &address);
    /// Getter of the port property.
    int port() const;
    /// Setter of the port property.
    void setPort(int port);

    /// How long to wait for an orderly close, in milliseconds; 1000 by default.
    int disconnectTimeout() const;
    /// Sets how long to wait for an orderly close.
    void setDisconnectTimeout(int msecs);
    /// How long to wait for the connection, in milliseconds; 1000 by default.
    int connectTimeout() const;
    /// Sets how long to wait for the connection.
    void setConnectTimeout(int msecs);
    /// How long to wait for the first answer bytes, in milliseconds; 1000 by default.
    int readAnswerTimeout() const;
    /// Sets how long to wait for the first answer bytes.
    void setReadAnswerTimeout(int msecs);
    /// How long to wait for a request to be written, in milliseconds; 1000 by default.
    int writeTimeout() const;
    /// Sets how long to wait for a request to be written.
    void setWriteTimeout(int msecs);

    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    /// Sends a frame to the device and waits for the reply into answer; false with error on failure.
    bool sendBytes(const ModbusBytes &bytes, ModbusBytes *answer, QString *error = nullptr);
    bool hasTarget(const Target *target) override;
    int targetsCount() const override;
    int bytesAvailable(const Target *target) override;
    Target *clientTarget() override;
    ModbusParser *createParser(QObject *parent) override;
    ModbusDeparser *createDeparser(QObject *parent) override;

    QString toString(bool oneLine) const override;

    /// Emits bytesSent() for bytes on the object's thread.
    Q_INVOKABLE void emitBytesSent(const ModbusBytes &bytes);

Q_SIGNALS:
    /// address changed.
    void addressChanged();
    /// port changed.
    void portChanged();

protected:
    bool connectTransportInternal() override;
    bool disconnectTransportInternal() override;

private Q_SLOTS:
    void onSocketDisconnected();
    void moveToThread(QThread *thread);

private:
    void init();
    void dropSocket();

    ModbusTcpTarget m_target;
    QTcpSocketInvokable *m_socket = nullptr;
    int m_disconnectTimeout = 1000;
    int m_connectTimeout = 1000;
    int m_readAnswerTimeout = 1000;
    int m_writeTimeout = 1000;
    std::mutex m_sendMutex;
    QThread m_socketThread;
};

#endif
