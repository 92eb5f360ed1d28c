#ifndef PTYDEVICENODE_H
#define PTYDEVICENODE_H

#include <TavrexBus1/modbustarget.h>
#include <TavrexBus1/modbustransport.h>

#include <QtCore/QTimer>

class QSocketNotifier;

// The meter's end of a pseudo-terminal whose other side a client opens as its device (devicePath()):
// a serial line without hardware for a ModbusSerialClient, or the device node of a ModbusC55Client.
// Modbus RTU requests written there are raised as incoming requests and answered; event records go
// out between exchanges, so that they never mix with an answer.
class PtyDeviceNode : public ModbusTransport
{
    Q_OBJECT

public:
    explicit PtyDeviceNode(QObject *parent = nullptr);
    ~PtyDeviceNode() override;

    // The node a client opens; known once connected.
    QString devicePath() const;
    // True while a client has the node open.
    bool deviceOpen() const;
    ModbusTarget *target();

    bool hasTarget(const Target *target) override;
    int targetsCount() const override;
    int bytesAvailable(const Target *target) override;
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer,
                   QString *error = nullptr) override;
    // Writes one event record, with its length byte, once no request is under way.
    bool sendEventBytes(const ModbusBytes &bytes, const Target *target) override;
    ModbusParser *createParser(QObject *parent) override;
    ModbusDeparser *createDeparser(QObject *parent) override;
    QString toString(bool oneLine = false) const override;

Q_SIGNALS:
    void deviceOpened();
    void deviceClosed();

protected:
    bool connectTransportInternal() override;
    bool disconnectTransportInternal() override;

private:
    void onReadable();
    void onRequestComplete();
    void watchClient();
    void setDeviceOpen(bool open);
    bool writeAll(const QByteArray &bytes);
    void flushEvents();

    ModbusTarget m_target;
    int m_master = -1;
    QString m_devicePath;
    QSocketNotifier *m_notifier = nullptr;
    // Whether a client has the node open shows only as the hang-up state of our side.
    QTimer m_clientWatch;
    // A request ends with a short silence, as on any RTU line.
    QTimer m_requestGap;
    ModbusBytes m_request;
    QList<ModbusBytes> m_pendingEvents;
    bool m_deviceOpen = false;
};

#endif
