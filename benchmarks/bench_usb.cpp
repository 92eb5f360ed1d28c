// One Modbus read round trip through ModbusLibusbClient to a meter on an emulated USB bus
// (libusb-1.0 over umockdev), beside the same exchange through the loopback transport, which
// costs no device at all. Needs umockdev's preload library: ./run.sh bench usb runs it so.
#include "simulateddevice.h"
#include "usbmeterbus.h"

#include <TavrexBus1/modbuslibusbclient.h>
#include <TavrexBus1/modbusloopbackclient.h>

#include <QtCore/QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

// Reads 10 holding registers from unit 1.
ModbusBytes readRequest()
{
    ModbusBytes bytes = ModbusBytes::fromModbusString(QStringLiteral("01 03 00 00 00 0A"));
    bytes.appendUInt16(qChecksumModbus(bytes, 0, 0));
    return bytes;
}

void exchange(benchmark::State &state, ModbusTransport &client)
{
    const ModbusBytes request = readRequest();
    ModbusBytes answer;
    for (auto _ : state) {
        if (!client.sendBytes(request, client.clientTarget(), &answer) || answer.size() != 25) {
            state.SkipWithError(qPrintable(client.errorString()));
            break;
        }
    }
}

void usbRoundTrip(benchmark::State &state)
{
    if (!UsbMeterBus::available()) {
        state.SkipWithError("needs umockdev's preload library (umockdev-wrapper)");
        return;
    }
    UsbMeterBus bus;
    bus.plug(UsbMeterBus::Profile());
    ModbusLibusbClient client;
    client.setReadTimeout(1000);
    if (!client.connectTransport(false)) {
        state.SkipWithError(qPrintable(client.errorString()));
        return;
    }
    exchange(state, client);
}

void loopbackRoundTrip(benchmark::State &state)
{
    SimulatedDevice meter;
    ModbusLoopbackClient client(*meter.server());
    client.connectTransport(false);
    exchange(state, client);
}

// Prints each run as a "name: value unit" line.
class FigureReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            const double us = run.GetAdjustedRealTime();
            const std::string name = run.run_name.function_name;
            m_figures[name] = us;
            std::printf("%s: %.1f us\n", name.c_str(), us);
        }
        const auto usb = m_figures.find("usbRoundTrip");
        const auto loopback = m_figures.find("loopbackRoundTrip");
        if (usb != m_figures.end() && loopback != m_figures.end() && loopback->second > 0)
            std::printf("usb over loopback: %.1f times\n", usb->second / loopback->second);
    }

private:
    std::map<std::string, double> m_figures;
};

} // namespace

BENCHMARK(loopbackRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(usbRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
