// One Modbus read round trip through ModbusLibusbClient to a meter on an emulated USB bus
// (libusb-1.0 over umockdev), beside the same exchange through the loopback transport, which
// costs no device at all. Needs umockdev's preload library: ./run.sh bench usb runs it so.
#include "benchsupport.h"
#include "rtuframe.h"
#include "simulateddevice.h"
#include "usbmeterbus.h"

#include <TavrexBus1/modbuslibusbclient.h>
#include <TavrexBus1/modbusloopbackclient.h>

#include <QtCore/QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

void exchange(benchmark::State &state, ModbusTransport &client)
{
    // Reads 10 holding registers from unit 1.
    const ModbusBytes request = rtuFrame("01 03 00 00 00 0A");
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

std::map<std::string, double> figures;

// Each run as a "name: value unit" line.
void printFigure(const benchmark::BenchmarkReporter::Run &run)
{
    const double us = run.GetAdjustedRealTime();
    const std::string name = run.run_name.function_name;
    figures[name] = us;
    std::printf("%s: %.1f us\n", name.c_str(), us);
}

} // namespace

BENCHMARK(loopbackRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(usbRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    runBenchmarks(argc, argv, printFigure);
    const auto usb = figures.find("usbRoundTrip");
    const auto loopback = figures.find("loopbackRoundTrip");
    if (usb != figures.end() && loopback != figures.end() && loopback->second > 0)
        std::printf("usb over loopback: %.1f times\n", usb->second / loopback->second);
    return 0;
}
