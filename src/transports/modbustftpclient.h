#ifndef TAVREXBUS1_MODBUSTFTPCLIENT_H
#define TAVREXBUS1_MODBUSTFTPCLIENT_H

#include "modbusiptarget.h"
#include "modbusiptransport.h"

#include <QtCore/QThread>

#include <mutex>

class QUdpSocket;

/// A link to one device that carries Modbus RTU frames in TFTP packets over UDP: each request is
/// a read request for the file "=<frame in hexadecimal>", answered by DATA block 1 with the answer
/// frame and acknowledged. Exchanges may be made from any thread; the socket lives on a thread of
/// its own.
///
/// Available in QML as `ModbusTFtpClient` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusTFtpClient : public ModbusIpTransport
{
    Q_OBJECT
public:
    /// A client of 127.0.0.1, port 502.
    explicit ModbusTFtpClient(QObject *parent = nullptr);
    /// A client of the address and port of target.
    explicit ModbusTFtpClient(const ModbusIpTarget &target, QObject *parent = nullptr);
    ~ModbusTFtpClient() override;

    /// The text of a TFTP error code, as messages show it.
    static QString tftpErrorStr(quint16 code);

    /// Sends the RTU frame bytes to the device and, when answer is given, waits for its answer
    /// frame. Only DATA block 1 is an answer; an ERROR packet or any other packet fails the exchange.
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    /// The same to the client's own target.
    bool sendBytes(const ModbusBytes &bytes, ModbusBytes *answer, QString *error = nullptr);
    int bytesAvailable(const Target *target) override;
    Target *clientTarget() override;

    /// The read request packet that carries frame.
    ModbusBytes packBytes(const ModbusBytes &frame) const;

    QString toString(bool oneLine) const override;

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
