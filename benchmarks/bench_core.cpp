#include <TavrexBus1/modbusbytes.h>

#include <QtCore/QRandomGenerator>

#include <benchmark/benchmark.h>

namespace {

constexpr int Registers = 1'000'000;

QByteArray randomBytes(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator random(1);
    random.fillRange(reinterpret_cast<quint32 *>(data.data()), size / 4);
    return data;
}

void crc16OneMiB(benchmark::State &state)
{
    const QByteArray data = randomBytes(1 << 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(qChecksumModbus(data.constData(), uint(data.size())));
    state.SetBytesProcessed(state.iterations() * data.size());
}
BENCHMARK(crc16OneMiB)->Unit(benchmark::kMicrosecond);

template <typename T, typename Append>
void encode(benchmark::State &state, int width, Append append)
{
    for (auto _ : state) {
        ModbusBytes bytes;
        bytes.reserve(qsizetype(Registers) * width);
        for (int i = 0; i < Registers; ++i)
            append(bytes, T(i));
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetItemsProcessed(state.iterations() * Registers);
    state.SetBytesProcessed(state.iterations() * Registers * width);
}

template <typename Read>
void decode(benchmark::State &state, int width, Read read)
{
    const ModbusBytes bytes = randomBytes(qsizetype(Registers) * width);
    for (auto _ : state) {
        double sum = 0;
        for (int i = 0; i < Registers; ++i)
            sum += double(read(bytes, i * width));
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * Registers);
    state.SetBytesProcessed(state.iterations() * Registers * width);
}

void encodeInt16(benchmark::State &state)
{
    encode<short>(state, 2, [](ModbusBytes &b, short v) { b.appendReg(putIn16(v)); });
}
void encodeInt32(benchmark::State &state)
{
    encode<int>(state, 4, [](ModbusBytes &b, int v) { b.appendUInt32(putIn32(v)); });
}
void encodeFloat(benchmark::State &state)
{
    encode<float>(state, 4, [](ModbusBytes &b, float v) { b.appendFloat(v); });
}
void encodeDouble(benchmark::State &state)
{
    encode<double>(state, 8, [](ModbusBytes &b, double v) { b += ModbusBytes::fromDouble(v); });
}
void decodeInt16(benchmark::State &state)
{
    decode(state, 2, [](const ModbusBytes &b, int pos) { return b.toInt16(pos); });
}
void decodeInt32(benchmark::State &state)
{
    decode(state, 4, [](const ModbusBytes &b, int pos) { return b.toInt32(pos); });
}
void decodeFloat(benchmark::State &state)
{
    decode(state, 4, [](const ModbusBytes &b, int pos) { return b.toFloat(pos); });
}
void decodeDouble(benchmark::State &state)
{
    decode(state, 8, [](const ModbusBytes &b, int pos) { return b.toDouble(pos); });
}

BENCHMARK(encodeInt16)->Unit(benchmark::kMillisecond);
BENCHMARK(encodeInt32)->Unit(benchmark::kMillisecond);
BENCHMARK(encodeFloat)->Unit(benchmark::kMillisecond);
BENCHMARK(encodeDouble)->Unit(benchmark::kMillisecond);
BENCHMARK(decodeInt16)->Unit(benchmark::kMillisecond);
BENCHMARK(decodeInt32)->Unit(benchmark::kMillisecond);
BENCHMARK(decodeFloat)->Unit(benchmark::kMillisecond);
BENCHMARK(decodeDouble)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
