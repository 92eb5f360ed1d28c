#ifndef METERFLEET_H
#define METERFLEET_H

#include "metersimulator.h"

#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbustranslator.h>

#include <QtCore/QObject>
#include <QtNetwork/QHostAddress>

#include <memory>
#include <vector>

class ModbusTcpServer;

// Many meters of one register map on Modbus/TCP, each with values of its own: meter k (counting
// from 1) holds the map's numeric register values plus k - 1. They listen either on consecutive
// ports, meter k on the first port plus k - 1, or together on one port as unit addresses 1 to N.
class MeterFleet : public QObject
{
    Q_OBJECT

public:
    enum Layout { Ports, Units };

    explicit MeterFleet(QObject *parent = nullptr);
    ~MeterFleet() override;

    bool load(const QByteArray &json, int count, QString *error);
    // Port 0 takes free ports: a run of consecutive ones in the Ports layout.
    bool listen(const QHostAddress &host, int port, Layout layout, QString *error);
    void close();
    // The ready line's part: the first meter's URL and where the others are.
    QString readyText() const;

Q_SIGNALS:
    // One line per served request, for --verbose, led by the meter's number.
    void served(const QString &line);
    void error(const QString &message);

private:
    struct Meter
    {
        MeterSimulator simulator;
        Modbuser modbuser;
        ModbusTcpServer *server = nullptr;
    };

    bool listenOnPorts(const QHostAddress &host, int port, QString *error);
    bool listenOnPortsFrom(const QHostAddress &host, int first, QString *error);
    bool listenOnUnits(const QHostAddress &host, int port, QString *error);
    void routeByUnit();
    static QByteArray shiftedValues(const QByteArray &json, int shift);

    std::vector<std::unique_ptr<Meter>> m_meters;
    // The Units layout's one listener, which hands each request to the meter of its unit.
    ModbusTranslator m_router;
    ModbusTcpServer *m_routerServer = nullptr;
    QHostAddress m_host;
    Layout m_layout = Ports;
};

#endif
