#ifndef QTCPSOCKETINVOKABLE_H
#define QTCPSOCKETINVOKABLE_H

#include "modbusbytes.h"
#include "tavrexbus1global.h"

#include <QtNetwork/QHostAddress>
#include <QtNetwork/QTcpSocket>

// A TCP socket that may be driven from any thread: called from another thread, each operation
// runs on the socket's own thread; connect and disconnect return at once, the others wait for it.
class TAVREXBUS1_EXPORT QTcpSocketInvokable : public QTcpSocket
{
    Q_OBJECT

public:
    explicit QTcpSocketInvokable(QObject *parent = nullptr);

    Q_INVOKABLE void connectToHost(const QHostAddress &address, quint16 port, QIODevice::OpenMode mode = ReadWrite);
    Q_INVOKABLE void disconnectFromHost() override;
    Q_INVOKABLE qint64 bytesAvailable() const override;
    Q_INVOKABLE bool writeAndWait(const ModbusBytes &data, int msecsToWrite, int msecsToRead);
    bool writeAndWait(const ModbusBytes &data, int msecsToWrite);
    bool writeAndWait(const ModbusBytes &data);
    // Writes a Modbus/TCP request and returns the answer frame that carries the request's
    // transaction identifier, skipping late answers to earlier requests; empty on failure.
    Q_INVOKABLE ModbusBytes exchangeFrame(const ModbusBytes &request, int msecsToWrite, int msecsToRead,
                                          QString *error);
    Q_INVOKABLE quint16 localPort() const;
    Q_INVOKABLE QHostAddress localAddress() const;
    Q_INVOKABLE quint16 peerPort() const;
    Q_INVOKABLE QHostAddress peerAddress() const;
    Q_INVOKABLE bool waitForConnected(int msecs = 30000) override;
    Q_INVOKABLE bool waitForReadyRead(int msecs = 30000) override;
    Q_INVOKABLE bool waitForBytesWritten(int msecs = 30000) override;
    Q_INVOKABLE bool waitForDisconnected(int msecs = 30000) override;
    Q_INVOKABLE QString errorString() const;
    Q_INVOKABLE ModbusBytes readAll();

    qint64 write(const ModbusBytes &data);

private:
    bool onOwnThread() const;
    template <typename F>
    auto onSocketThread(F function, QString *error = nullptr) const;
    bool flushWithin(int msecs);
    bool waitForFrame(ModbusBytes &frame, quint16 transactionId, int msecs, QString *error);
};

#endif
