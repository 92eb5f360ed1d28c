#ifndef TAVREXBUS1_MODBUSLOOPBACKSERVER_H
#define TAVREXBUS1_MODBUSLOOPBACKSERVER_H

#include "modbustarget.h"
#include "modbustransport.h"

// The server end of an in-process link: requests handed over by a loopback client are
// raised as incoming requests, and the answer the receivers give goes back to the client.
class TAVREXBUS1_EXPORT ModbusLoopbackServer : public ModbusTransport
{
    Q_OBJECT

public:
    explicit ModbusLoopbackServer(QObject *parent = nullptr);
    ~ModbusLoopbackServer() override;

    ModbusTarget *target();
    // Answers before it returns, also when called from another thread than the server's.
    void emulateBytesReceived(const ModbusBytes &bytes, ModbusBytes &answer);

    bool hasTarget(const Target *target) override;
    int targetsCount() const override;
    int bytesAvailable(const Target *target) override;
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    ModbusParser *createParser(QObject *parent) override;
    ModbusDeparser *createDeparser(QObject *parent) override;
    QString toString(bool oneLine = false) const override;

protected:
    bool connectTransportInternal() override;
    bool disconnectTransportInternal() override;

private:
    ModbusTarget m_target;
};

#endif
