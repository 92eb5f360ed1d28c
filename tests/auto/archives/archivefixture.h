#ifndef ARCHIVEFIXTURE_H
#define ARCHIVEFIXTURE_H

#include "metersimulator.h"

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbusitembase.h>
#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustcpserver.h>
#include <TavrexBus1/modbustranslator.h>

#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

#include <memory>

// Labels as the archive suites write them.
inline const QString textFormat = QStringLiteral("yyyy-MM-dd hh:mm");

inline bool readAndWait(ModbusItemBase &item)
{
    QSignalSpy done(&item, &ModbusItemBase::afterRead);
    return item.read() && done.wait(5000);
}

// The simulated meter on 127.0.0.1 (port 0) with the archives of a register map, and a client linked
// to it over Modbus/TCP. The meter answers on the test's thread; its Modbuser is there to be tampered with.
struct ArchiveFixture
{
    MeterSimulator meter;
    Modbuser device;
    std::unique_ptr<ModbusTcpServer> server;
    std::unique_ptr<ModbusTcpClient> link;
    std::unique_ptr<ModbusClient> client;

    bool start(const QByteArray &map)
    {
        QString error;
        if (!meter.load(map, &error)) {
            qWarning() << error;
            return false;
        }
        meter.serve(device);
        server = std::make_unique<ModbusTcpServer>(0);
        server->setAddress(QHostAddress::LocalHost);
        device.translator().addTransport(*server, true, false);
        if (!server->connectTransport(false))
            return false;
        link = std::make_unique<ModbusTcpClient>(QHostAddress::LocalHost, server->port());
        link->setReadAnswerTimeout(300);
        client = std::make_unique<ModbusClient>();
        client->setRetries(1);
        client->setTransport(link.get());
        return link->connectTransport(false);
    }

    ~ArchiveFixture()
    {
        client.reset();
        if (link)
            link->disconnectTransport();
        if (server)
            server->disconnectTransport();
    }
};

#endif
