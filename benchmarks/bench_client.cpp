// Polls 10,000 register items of mixed types over Modbus/TCP from the simulator on 127.0.0.1.
// Figures: items read per second, the executor's share of the time beside the transport's,
// and the process's resident memory; and reads made one after another, each from the previous
// one's answer, as a script that walks a device does.
#include "mixeditems.h"
#include "simulatedmeter.h"

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbusdouble.h>
#include <TavrexBus1/modbusfloat.h>
#include <TavrexBus1/modbusint32.h>
#include <TavrexBus1/modbusstringansi.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbusuint16.h>

#include <QtCore/qcoreapplication.h>
#include <QtCore/qelapsedtimer.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <memory>

namespace {

constexpr int ItemCount = 10000;

// Counts the time spent inside the link's exchanges, so that the rest is the executor's.
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

// The simulator's map: registers enough for every item.
const QByteArray RegisterMap = R"({ "name": "bench meter", "registers": [
                                  { "address": 400001, "type": "uint16", "count": 30000, "value": 7 } ] })";

struct Figures
{
    double itemsPerSecond = 0;
    double overheadPercent = 0;
    double residentMb = 0;
    double baselineMb = 0;
    double chainedReadsPerSecond = 0;
    double chainedOverheadPercent = 0;
};
Figures figures;

// The simulator, a link to it that times its exchanges, and a client on the link.
struct MeterClient
{
    MeterClient() : link(QHostAddress::LocalHost, meter.port()) {}

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
    double overheadPercent() const
    {
        return 100.0 * double(wallNanoseconds - transportNanoseconds) / double(transportNanoseconds);
    }

    SimulatedMeter meter{RegisterMap};
    TimedTcpClient link;
    ModbusClient client;
    qint64 wallNanoseconds = 0;
    qint64 transportNanoseconds = 0;
};

void pollTenThousandItems(benchmark::State &state)
{
    MeterClient session;
    if (!session.reach(state))
        return;
    figures.baselineMb = (residentKilobytes() / 1024.0);
    quint32 address = 400001;
    for (int i = 0; i < ItemCount; ++i)
        makeItem(i, address, &session.client)->setClient(&session.client);

    for (auto _ : state) {
        const quint64 target = session.client.goodTasksCount() + ItemCount;
        if (!session.timeRound(state, [&] { session.client.readAll(); },
                               [&] { return session.client.goodTasksCount() >= target; }))
            return;
    }
    figures.itemsPerSecond = session.perSecond(ItemCount, state);
    figures.overheadPercent = session.overheadPercent();
    figures.residentMb = (residentKilobytes() / 1024.0);
    state.counters["items/s"] = figures.itemsPerSecond;
    state.counters["overhead%"] = figures.overheadPercent;
    state.counters["rss_MB"] = figures.residentMb;
}
BENCHMARK(pollTenThousandItems)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int ChainedReads = 2000;

void chainedReads(benchmark::State &state)
{
    MeterClient session;
    if (!session.reach(state))
        return;
    ModbusUInt16 item(400001);
    item.setClient(&session.client);
    int left = 0;
    QObject::connect(&item, &ModbusItemBase::afterRead, &item, [&] {
        if (--left > 0)
            item.read();
    });
    for (auto _ : state) {
        left = ChainedReads;
        if (!session.timeRound(state, [&] { item.read(); }, [&] { return left <= 0; }))
            return;
    }
    figures.chainedReadsPerSecond = session.perSecond(ChainedReads, state);
    figures.chainedOverheadPercent = session.overheadPercent();
    state.counters["reads/s"] = figures.chainedReadsPerSecond;
}
BENCHMARK(chainedReads)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("client_poll_items_per_second: %.0f items/s\n", figures.itemsPerSecond);
    std::printf("client_executor_overhead_beside_transport: %.1f %%\n", figures.overheadPercent);
    std::printf("client_resident_memory_10000_items: %.1f MB\n", figures.residentMb);
    std::printf("client_resident_memory_before_items: %.1f MB\n", figures.baselineMb);
    std::printf("client_memory_per_item: %.2f KB\n",
                (figures.residentMb - figures.baselineMb) * 1024.0 / ItemCount);
    std::printf("client_chained_reads_per_second: %.0f reads/s\n", figures.chainedReadsPerSecond);
    std::printf("client_chained_reads_overhead_beside_transport: %.1f %%\n", figures.chainedOverheadPercent);
    return 0;
}
