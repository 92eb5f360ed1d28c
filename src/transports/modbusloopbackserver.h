#ifndef TAVREXBUS1_MODBUSLOOPBACKSERVER_H
#define TAVREXBUS1_MODBUSLOOPBACKSERVER_H

#include "modbustarget.h"
#include "modbustransport.h"

/// The server end of an in-process link: requests handed over by a loopback client are
/// raised as incoming requests, and the answer the receivers give goes back to the client.
///
/// Available in QML as `ModbusLoopbackServer` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusLoopbackServer : public ModbusTransport
{
    Q_OBJECT

public:
    /// A server with no client yet.
    explicit ModbusLoopbackServer(QObject *parent = nullptr);
    ~ModbusLoopbackServer() override;

    /// The one peer of the link: its client.
    ModbusTarget *target();
    /// Raises bytes as a request and returns the answer its receivers gave (empty when none did),
    /// also when called from another thread than the server's. Fails, with the reason in error,
    /// when the server's thread is not running or the server goes before it could answer.
    bool emulateBytesReceived(const ModbusBytes &bytes, ModbusBytes &answer, QString *error = nullptr);

    bool hasTarget(const Target *target) override;
    int targetsCount() const override;
    int bytesAvailable(const Target *target) override;
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    QString toString(bool oneLine = false) const override;

protected:
    bool connectTransportInternal() override;
    bool disconnectTransportInternal() override;
    void retire() override;

private:
    void answerRequest(const ModbusBytes &bytes, ModbusBytes &answer);

    ModbusTarget m_target;
};

#endif
