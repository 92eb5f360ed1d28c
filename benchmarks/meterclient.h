#ifndef METERCLIENT_H
#define METERCLIENT_H

#include "simulatedmeter.h"

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbustcpclient.h>

#include <QtCore/qcoreapplication.h>
#include <QtCore/qelapsedtimer.h>

#include <benchmark/benchmark.h>

#include <atomic>

// A Modbus/TCP link that counts the time spent inside its exchanges, so that the rest of a read's time
// is what the layers above it cost.
class TimedTcpClient : public ModbusTcpClient
{
public:
    using ModbusTcpClient::ModbusTcpClient;
    using ModbusTcpClient::sendBytes;

    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer, QString *error) override
    {
        QElapsedTimer timer;
        timer.start();
        const bool ok = ModbusTcpClient::sendBytes(bytes, target, answer, error);
        transportNanoseconds += timer.nsecsElapsed();
        ++exchanges;
        return ok;
    }

    std::atomic<qint64> transportNanoseconds{0};
    std::atomic<qint64> exchanges{0};
};

// The simulator serving a map, a timed link to it, and a client on the link.
struct MeterClient
{
    explicit MeterClient(const QByteArray &map) : meter(map), link(QHostAddress::LocalHost, meter.port()) {}

    // Connects the link and gives it to the client; when it cannot, skips the benchmark.
    bool reach(benchmark::State &state)
    {
        if (!meter.reach(link, state))
            return false;
        client.setTransport(&link);
        return true;
    }

    // One timed round: start(), then the events until done() or a failed task; a failure skips the
    // benchmark.
    template <typename Start, typename Done>
    bool timeRound(benchmark::State &state, Start start, Done done)
    {
        const qint64 transportBefore = link.transportNanoseconds;
        QElapsedTimer wall;
        wall.start();
        start();
        while (!done() && client.errorTasksCount() == 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        wallNanoseconds += wall.nsecsElapsed();
        transportNanoseconds += link.transportNanoseconds - transportBefore;
        if (client.errorTasksCount() == 0)
            return true;
        state.SkipWithError(qPrintable(client.errorString()));
        return false;
    }

    double perSecond(int count, benchmark::State &state) const
    {
        return double(count) * double(state.iterations()) / (double(wallNanoseconds) / 1e9);
    }
    // The time beside the link's exchanges, as a share of theirs.
    double overheadPercent() const
    {
        return 100.0 * double(wallNanoseconds - transportNanoseconds) / double(transportNanoseconds);
    }

    SimulatedMeter meter;
    TimedTcpClient link;
    ModbusClient client;
    qint64 wallNanoseconds = 0;
    qint64 transportNanoseconds = 0;
};

#endif
