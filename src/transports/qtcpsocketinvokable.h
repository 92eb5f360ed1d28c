#ifndef QTCPSOCKETINVOKABLE_H
#define QTCPSOCKETINVOKABLE_H

#include "modbusbytes.h"
#include "tavrexbus1global.h"

#include <QtNetwork/QHostAddress>
#include <QtNetwork/QTcpSocket>

class ModbusTcpStream;
class QDeadlineTimer;

/// A TCP socket that may be driven from any thread: called from another thread, each operation
/// runs on the socket's own thread; connect and disconnect return at once, the others wait for it.
class TAVREXBUS1_EXPORT QTcpSocketInvokable : public QTcpSocket
{
    Q_OBJECT

public:
    /// An unconnected socket.
    explicit QTcpSocketInvokable(QObject *parent = nullptr);

    /// Starts connecting to address and port; returns at once.
    Q_INVOKABLE void connectToHost(const QHostAddress &address, quint16 port, QIODevice::OpenMode mode = ReadWrite);
    /// Starts closing the connection; returns at once.
    Q_INVOKABLE void disconnectFromHost() override;
    /// Bytes received and not read.
    Q_INVOKABLE qint64 bytesAvailable() const override;
    /// Writes data, waits up to msecsToWrite for it to go out, then up to msecsToRead for input.
    Q_INVOKABLE bool writeAndWait(const ModbusBytes &data, int msecsToWrite, int msecsToRead);
    /// Writes data and waits up to msecsToWrite for it to go out.
    bool writeAndWait(const ModbusBytes &data, int msecsToWrite);
    /// Writes data and waits for it to go out.
    bool writeAndWait(const ModbusBytes &data);
    /// Writes a Modbus/TCP request and returns the answer frame that carries the request's
    /// transaction identifier, skipping late answers to earlier requests; empty on failure.
    Q_INVOKABLE ModbusBytes exchangeFrame(const ModbusBytes &request, int msecsToWrite, int msecsToRead,
                                          QString *error);
    /// The local port.
    Q_INVOKABLE quint16 localPort() const;
    /// The local address.
    Q_INVOKABLE QHostAddress localAddress() const;
    /// The peer's port.
    Q_INVOKABLE quint16 peerPort() const;
    /// The peer's address.
    Q_INVOKABLE QHostAddress peerAddress() const;
    /// Waits up to msecs for the connection.
    Q_INVOKABLE bool waitForConnected(int msecs = 30000) override;
    /// Waits up to msecs for input.
    Q_INVOKABLE bool waitForReadyRead(int msecs = 30000) override;
    /// Waits up to msecs for the write to finish.
    Q_INVOKABLE bool waitForBytesWritten(int msecs = 30000) override;
    /// Waits up to msecs for the connection to close.
    Q_INVOKABLE bool waitForDisconnected(int msecs = 30000) override;
    /// The socket's last error message.
    Q_INVOKABLE QString errorString() const;
    /// Everything received so far.
    Q_INVOKABLE ModbusBytes readAll();

    /// Writes data; the number of bytes written, or -1.
    qint64 write(const ModbusBytes &data);

private:
    bool onOwnThread() const;
    template <typename F>
    auto onSocketThread(F function, QString *error = nullptr) const;
    bool flushWithin(int msecs);
    bool waitForFrame(ModbusBytes &frame, quint16 transactionId, int msecs, QString *error);
    bool receive(ModbusTcpStream &stream, const QDeadlineTimer &deadline, QString *error);
};

#endif
