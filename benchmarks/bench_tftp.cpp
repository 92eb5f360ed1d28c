#include "benchsupport.h"
#include "ourserver.h"

#include <TavrexBus1/modbusiptarget.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustcpserver.h>
#include <TavrexBus1/modbustftpclient.h>
#include <TavrexBus1/modbustftpserver.h>

#include <QtCore/QCoreApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

// Sequential reads of 100 holding registers on 127.0.0.1 through Modbuser: RTU frames in TFTP
// over UDP beside the same reads over Modbus/TCP, each against our own server of its kind.
namespace {

constexpr int Registers = 100;
constexpr int Requests = 20000;

std::map<std::string, double> figures;

OurServer<ModbusTcpServer> *tcpServer = nullptr;
OurServer<ModbusTFtpServer> *tftpServer = nullptr;

void reads(benchmark::State &state, ModbusTransport *client, const std::string &name)
{
    Modbuser modbuser;
    if (!connectOurClient(state, modbuser, client))
        return;
    const auto start = std::chrono::steady_clock::now();
    if (readEachIteration(state, modbuser, Registers)) {
        const double rate = double(state.iterations())
            / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["requests_per_s"] = rate;
        figures[name] = rate;
    }
    client->disconnectTransport();
}

void tftpClientTftpServer(benchmark::State &state)
{
    reads(state, new ModbusTFtpClient(ModbusIpTarget(QHostAddress::LocalHost, tftpServer->port())),
          "tftp_our_client_vs_our_server");
}

void tcpClientTcpServer(benchmark::State &state)
{
    reads(state, new ModbusTcpClient(QHostAddress::LocalHost, tcpServer->port()), "tcp_our_client_vs_our_server");
}

BENCHMARK(tftpClientTftpServer)->Iterations(Requests)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(tcpClientTcpServer)->Iterations(Requests)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    OurServer<ModbusTcpServer> tcp;
    OurServer<ModbusTFtpServer> tftp;
    tcpServer = &tcp;
    tftpServer = &tftp;
    runBenchmarks(argc, argv);
    for (const auto &entry : figures)
        std::printf("%s: %.0f requests/s\n", entry.first.c_str(), entry.second);
    const auto tftpRate = figures.find("tftp_our_client_vs_our_server");
    const auto tcpRate = figures.find("tcp_our_client_vs_our_server");
    if (tftpRate != figures.end() && tcpRate != figures.end())
        std::printf("tftp_over_tcp_ratio: %.2f x\n", tftpRate->second / tcpRate->second);
    return 0;
}
