#ifndef MODBUSTCPCLIENT_H
#define MODBUSTCPCLIENT_H

#include "modbustcptarget.h"
#include "modbusiptransport.h"

#include <QtCore/QThread>

#include <mutex>

class QTcpSocketInvokable;

/// A Modbus/TCP link to one device. Exchanges may be made from any thread; the socket itself
/// lives on a thread of its own.
///
/// Available in QML as `ModbusTcpClient` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusTcpClient : public ModbusIpTransport
{
    Q_OBJECT
public:
    /// A closed link to 127.0.0.1, port 502.
    explicit ModbusTcpClient(QObject *parent = nullptr);
    /// A closed link to address and port.
    ModbusTcpClient(const QHostAddress &address, int port, QObject *parent = nullptr);
    /// A closed link to the peer target names.
    explicit ModbusTcpClient(const ModbusTcpTarget &target, QObject *parent = nullptr);
    ~ModbusTcpClient() override;

    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    /// Sends a frame to the device and waits for the reply into answer; false with error on failure.
    bool sendBytes(const ModbusBytes &bytes, ModbusBytes *answer, QString *error = nullptr);
    int bytesAvailable(const Target *target) override;
    Target *clientTarget() override;
    ModbusParser *createParser(QObject *parent) override;
    ModbusDeparser *createDeparser(QObject *parent) override;

    QString toString(bool oneLine) const override;

    /// Emits bytesSent() for bytes on the object's thread.
    Q_INVOKABLE void emitBytesSent(const ModbusBytes &bytes);

protected:
    bool connectTransportInternal() override;
    bool disconnectTransportInternal() override;

private Q_SLOTS:
    void onSocketDisconnected();
    void moveToThread(QThread *thread);

private:
    void dropSocket();

    ModbusTcpTarget m_target;
    QTcpSocketInvokable *m_socket = nullptr;
    std::mutex m_sendMutex;
    QThread m_socketThread;
};

#endif
