// RTU round trips through ModbusSerialClient over a pseudo-terminal, against the time the
// same two frames would take on a real line at that speed (10 bits per character).
#include "benchsupport.h"
#include "rtuframe.h"

#include <TavrexBus1/modbusserialclient.h>

#include <QtCore/QCoreApplication>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// Answers every whole request at once, as a fast device would.
class EchoDevice
{
public:
    EchoDevice(int master, QByteArray answer, int requestSize)
        : m_thread([=] { run(master, answer, requestSize); })
    {
    }
    ~EchoDevice()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    void run(int master, const QByteArray &answer, int requestSize)
    {
        int pending = 0;
        char buffer[256];
        while (!m_stop) {
            pollfd fd{master, POLLIN, 0};
            if (::poll(&fd, 1, 50) <= 0)
                continue;
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                return;
            pending += int(n);
            for (; pending >= requestSize; pending -= requestSize) {
                if (::write(master, answer.constData(), size_t(answer.size())) != answer.size())
                    return;
            }
        }
    }

    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

void rtuRoundTrip(benchmark::State &state)
{
    const int baudRate = int(state.range(0));
    const int sendDelay = int(state.range(1));
    termios raw{};
    cfmakeraw(&raw);
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const ModbusBytes request = rtuFrame("01 03 00 00 00 0A");
    const ModbusBytes answer = rtuFrame("01 03 14 00 01 00 02 00 03 00 04 00 05 00 06 00 07 00 08 00 09 00 0A");
    {
        EchoDevice device(master, answer, int(request.size()));
        ModbusSerialClient client;
        client.setPort(QString::fromLocal8Bit(name));
        client.setBaudRate(baudRate);
        client.setSendDelay(sendDelay);
        if (!client.connectTransport(false)) {
            state.SkipWithError(qPrintable(client.errorString()));
        } else {
            ModbusBytes reply;
            for (auto _ : state) {
                if (!client.sendBytes(request, client.target(), &reply) || reply != answer) {
                    state.SkipWithError("exchange failed");
                    break;
                }
            }
            const double wireMs = (request.size() + answer.size()) * 10 * 1000.0 / baudRate;
            state.counters["wire_ms"] = wireMs;
            state.counters["byte_timeout_ms"] = client.byteTimeout();
            state.counters["read_timeout_ms"] = client.readTimeout();
        }
    }
    ::close(master);
    ::close(slave);
}

// The figures of a run as "name: value unit" lines.
void printFigures(const benchmark::BenchmarkReporter::Run &run)
{
    if (run.counters.count("wire_ms") == 0)
        return;
    const std::string name = run.benchmark_name();
    const double exchangeMs = run.GetAdjustedRealTime();
    const double wireMs = run.counters.at("wire_ms");
    std::printf("%s exchange: %.3f ms\n", name.c_str(), exchangeMs);
    std::printf("%s wire time: %.3f ms\n", name.c_str(), wireMs);
    std::printf("%s over wire time: %.3f ms\n", name.c_str(), exchangeMs - wireMs);
    std::printf("%s byte timeout: %.0f ms\n", name.c_str(), double(run.counters.at("byte_timeout_ms")));
    std::printf("%s read timeout: %.0f ms\n", name.c_str(), double(run.counters.at("read_timeout_ms")));
}

} // namespace
BENCHMARK(rtuRoundTrip)
    ->ArgNames({"baud", "sendDelay"})
    ->Args({115200, 2})
    ->Args({115200, 0})
    ->Args({9600, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    runBenchmarks(argc, argv, printFigures);
    return 0;
}
