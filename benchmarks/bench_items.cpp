#include <TavrexBus1/modbusdouble.h>
#include <TavrexBus1/modbusfloat.h>
#include <TavrexBus1/modbusint16.h>
#include <TavrexBus1/modbusuint16.h>
#include <TavrexBus1/modbusuint32.h>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>
#include <vector>

namespace {

constexpr int Items = 10'000;

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

// Heap held by idle items, measured as the growth of the allocator's in-use bytes.
template <typename Item>
void idleItemHeap(benchmark::State &state)
{
    double perItem = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<Item>> items;
        items.reserve(Items);
        const size_t before = heapInUse();
        for (int i = 0; i < Items; ++i)
            items.push_back(std::make_unique<Item>(quint32(400001 + 2 * i)));
        perItem = double(heapInUse() - before) / Items;
        benchmark::DoNotOptimize(items.data());
    }
    state.counters["heap_per_item_bytes"] = perItem;
    state.SetItemsProcessed(state.iterations() * Items);
}

// A completed read: new bytes installed, the typed value decoded, the change signals emitted.
void readResultApplied(benchmark::State &state)
{
    ModbusUInt32 item;
    quint32 value = 0;
    for (auto _ : state) {
        item.setTopBytesArray(ModbusBytesArray{ModbusBytes::fromUInt32(++value)}, ModbusItemBase::ReadChange);
        benchmark::DoNotOptimize(item.value());
    }
    state.SetItemsProcessed(state.iterations());
}

// Text entered by a user: parsed into the value and its bytes, then shown again.
template <typename Item>
void textEnteredAndShown(benchmark::State &state)
{
    Item item;
    const QString texts[] = {QStringLiteral("-1234"), QStringLiteral("5678")};
    int turn = 0;
    for (auto _ : state) {
        item.setFormatValue(texts[++turn & 1]);
        benchmark::DoNotOptimize(item.formatValue());
    }
    state.SetItemsProcessed(state.iterations());
}

// A parent element spread over child views, each of which follows every change of the parent.
void parentWithEightViews(benchmark::State &state)
{
    ModbusItemBase *parent = new ModbusUInt32;
    parent->setCount(1);
    QQmlListProperty<ModbusItemBase> children = parent->items();
    for (int i = 0; i < 8; ++i) {
        auto *child = new ModbusUInt16;
        child->setSourceByteIndex(i % 2 * 2);
        children.append(&children, child);
    }
    quint32 value = 0;
    for (auto _ : state) {
        parent->setTopBytesArray(ModbusBytesArray{ModbusBytes::fromUInt32(++value)}, ModbusItemBase::ReadChange);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    delete parent;
}

void trendInsertFull(benchmark::State &state)
{
    ModbusFloat item;
    item.setMaxTrendSize(1000);
    QDateTime label(QDate(2024, 1, 1), QTime(0, 0));
    for (auto _ : state) {
        label = label.addSecs(1);
        item.insertTopBytesToTrend(label);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_TEMPLATE(idleItemHeap, ModbusUInt16)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(idleItemHeap, ModbusFloat)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(readResultApplied);
BENCHMARK_TEMPLATE(textEnteredAndShown, ModbusInt16);
BENCHMARK_TEMPLATE(textEnteredAndShown, ModbusDouble);
BENCHMARK(parentWithEightViews);
BENCHMARK(trendInsertFull);

} // namespace

BENCHMARK_MAIN();
