#ifndef MODBUSTCPCLIENT_H
#define MODBUSTCPCLIENT_H

#include "modbustcptarget.h"
#include "modbustransport.h"

#include <QtCore/QMutex>
#include <QtCore/QThread>

class QTcpSocketInvokable;

/// A Modbus/TCP link to one device. Exchanges may be made from any thread; the socket itself
/// lives on a thread of its own.
class TAVREXBUS1_EXPORT ModbusTcpClient : public ModbusTransport
{
    Q_OBJECT
    Q_PROPERTY(QString address READ addressStr WRITE setAddressStr NOTIFY addressChanged)
    Q_PROPERTY(int port READ port WRITE setPort NOTIFY portChanged)

public:
    explicit ModbusTcpClient(QObject *parent = nullptr);
    ModbusTcpClient(const QHostAddress &address, int port, QObject *parent = nullptr);
    explicit ModbusTcpClient(const ModbusTcpTarget &target, QObject *parent = nullptr);
    ~ModbusTcpClient() override;

    QHostAddress address() const;
    void setAddress(const QHostAddress &address);
    /// Getter of the address property.
    QString addressStr() const;
    /// Setter of the address property.
    void setAddressStr(const QString &address);
    /// Getter of the port property.
    int port() const;
    /// Setter of the port property.
    void setPort(int port);

    int disconnectTimeout() const;
    void setDisconnectTimeout(int msecs);
    int connectTimeout() const;
    void setConnectTimeout(int msecs);
    int readAnswerTimeout() const;
    void setReadAnswerTimeout(int msecs);
    int writeTimeout() const;
    void setWriteTimeout(int msecs);

    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    bool sendBytes(const ModbusBytes &bytes, ModbusBytes *answer, QString *error = nullptr);
    bool hasTarget(const Target *target) override;
    int targetsCount() const override;
    int bytesAvailable(const Target *target) override;
    Target *clientTarget() override;
    ModbusParser *createParser(QObject *parent) override;
    ModbusDeparser *createDeparser(QObject *parent) override;

    QString toString(bool oneLine) const override;

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
    QMutex m_sendMutex;
    QThread m_socketThread;
};

#endif
