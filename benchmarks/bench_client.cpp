// Polls 10,000 register items of mixed types over Modbus/TCP from the simulator on 127.0.0.1.
// Figures: items read per second, the executor's share of the time beside the transport's,
// and the process's resident memory; and reads made one after another, each from the previous
// one's answer, as a script that walks a device does.
#include "benchsupport.h"
#include "meterclient.h"
#include "mixeditems.h"

#include <TavrexBus1/modbusuint16.h>

#include <cstdio>

namespace {

constexpr int ItemCount = 10000;

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

void pollTenThousandItems(benchmark::State &state)
{
    MeterClient session(RegisterMap);
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
    MeterClient session(RegisterMap);
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
    runBenchmarks(argc, argv);
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
