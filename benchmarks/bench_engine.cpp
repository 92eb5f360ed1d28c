// The request engine's own cost per exchange: a client Modbuser reading or writing 122 holding
// registers from a server Modbuser over the in-process loopback pair, with a trivial handler.
#include "benchsupport.h"
#include "ourserver.h"

#include <TavrexBus1/modbusloopbackclient.h>
#include <TavrexBus1/modbusloopbackserver.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr quint16 Registers = 122;

std::map<std::string, double> figures;

struct LoopbackPair
{
    ModbusLoopbackServer serverTransport;
    ModbusLoopbackClient clientTransport{serverTransport};
    Modbuser server;
    Modbuser client;

    LoopbackPair()
    {
        serverTransport.connectTransport();
        clientTransport.connectTransport();
        server.translator().addTransport(serverTransport, true, false);
        client.setClientTransport(&clientTransport);
        answerEveryRead(server);
        QObject::connect(&server, &Modbuser::onWriteRegisters, &server,
                         [](quint32, ModbusBytes, ModbusTranslateOptions &, bool &handled) { handled = true; });
    }
};

template <typename Exchange>
void measure(benchmark::State &state, const char *figure, Exchange exchange)
{
    LoopbackPair pair;
    QElapsedTimer timer;
    timer.start();
    // The machine is shared, so the engine's own cost is measured in CPU time of this thread.
    const qint64 cpuStart = cpuNanoseconds(CLOCK_THREAD_CPUTIME_ID);
    for (auto _ : state) {
        if (!exchange(pair.client)) {
            state.SkipWithError(qPrintable(pair.client.errorString()));
            return;
        }
    }
    const double cpuSeconds = double(cpuNanoseconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart) / 1e9;
    const double wallSeconds = double(timer.nsecsElapsed()) / 1e9;
    state.counters["requests/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    figures[std::string(figure) + "_cpu"] = double(state.iterations()) / cpuSeconds;
    figures[std::string(figure) + "_wall"] = double(state.iterations()) / wallSeconds;
}

void readHoldingRegisters(benchmark::State &state)
{
    measure(state, "engine_read_122_registers", [](Modbuser &client) {
        ModbusBytes out;
        return client.readRegisters(400001, Registers, out);
    });
}

void writeHoldingRegisters(benchmark::State &state)
{
    const ModbusBytes values = ModbusBytes::fromRegsCount(Registers, 0x4321);
    measure(state, "engine_write_122_registers", [&values](Modbuser &client) {
        return client.writeRegisters(400001, values);
    });
}

} // namespace

BENCHMARK(readHoldingRegisters)->MinTime(2.0);
BENCHMARK(writeHoldingRegisters)->MinTime(2.0);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    runBenchmarks(argc, argv);
    for (const auto &[name, rate] : figures)
        std::printf("%s: %.0f requests/s\n", name.c_str(), rate);
    return 0;
}
