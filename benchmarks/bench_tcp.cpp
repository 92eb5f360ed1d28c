#include "ourserver.h"

#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustcpserver.h>

#include <QtCore/QCoreApplication>

#include <benchmark/benchmark.h>
#include <modbus.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>

// Sequential reads of 100 holding registers over Modbus/TCP on 127.0.0.1: our client and a
// libmodbus client against the same server, and our server and a libmodbus server with the
// same libmodbus client.
namespace {

constexpr int Registers = 100;
constexpr int Requests = 20000;

std::map<std::string, double> figures;

// A libmodbus server serving one client connection after the other.
class LibmodbusServer
{
public:
    LibmodbusServer()
    {
        m_context = modbus_new_tcp("127.0.0.1", 0);
        m_mapping = modbus_mapping_new(0, 0, 1000, 1000);
        m_listener = modbus_tcp_listen(m_context, 1);
        sockaddr_in address = {};
        socklen_t size = sizeof address;
        getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &size);
        m_port = ntohs(address.sin_port);
        std::thread([this] { serve(); }).detach();
    }
    int port() const { return m_port; }

private:
    void serve()
    {
        for (;;) {
            int listener = m_listener;
            if (modbus_tcp_accept(m_context, &listener) < 0)
                return;
            uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
            for (;;) {
                const int size = modbus_receive(m_context, query);
                if (size > 0)
                    modbus_reply(m_context, query, size, m_mapping);
                else if (size < 0)
                    break;
            }
            modbus_close(m_context);
        }
    }

    modbus_t *m_context = nullptr;
    modbus_mapping_t *m_mapping = nullptr;
    int m_listener = -1;
    int m_port = 0;
};

OurServer<ModbusTcpServer> *ourServer = nullptr;
LibmodbusServer *libmodbusServer = nullptr;

void record(benchmark::State &state, const std::string &name, std::chrono::steady_clock::duration elapsed)
{
    const double rate = double(state.iterations()) / std::chrono::duration<double>(elapsed).count();
    state.counters["requests_per_s"] = rate;
    figures[name] = rate;
}

void ourClient(benchmark::State &state, int port, const std::string &name)
{
    Modbuser modbuser;
    auto *client = new ModbusTcpClient(QHostAddress::LocalHost, port, &modbuser);
    client->setAutoReconnect(false);
    modbuser.setClientTransport(client);
    if (!client->connectTransport(false)) {
        state.SkipWithError(client->errorString().toUtf8().constData());
        return;
    }
    ModbusBytes registers;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (!modbuser.readRegisters(400001, Registers, registers)) {
            state.SkipWithError(modbuser.errorString().toUtf8().constData());
            break;
        }
    }
    record(state, name, std::chrono::steady_clock::now() - start);
    client->disconnectTransport();
}

void libmodbusClient(benchmark::State &state, int port, const std::string &name)
{
    modbus_t *context = modbus_new_tcp("127.0.0.1", port);
    if (modbus_connect(context) != 0) {
        state.SkipWithError(modbus_strerror(errno));
        modbus_free(context);
        return;
    }
    uint16_t registers[Registers];
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (modbus_read_registers(context, 0, Registers, registers) != Registers) {
            state.SkipWithError(modbus_strerror(errno));
            break;
        }
    }
    record(state, name, std::chrono::steady_clock::now() - start);
    modbus_close(context);
    modbus_free(context);
}

// The least any client can do per request: one send and blocking receives, no framing checks.
// Its rate bounds what a client can gain over another against the same server.
void plainSocketClient(benchmark::State &state, int port, const std::string &name)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        state.SkipWithError("cannot connect");
        close(fd);
        return;
    }
    constexpr int AnswerSize = 9 + 2 * Registers;
    uint8_t request[12] = {0, 0, 0, 0, 0, 6, 1, 3, 0, 0, 0, Registers};
    uint8_t answer[AnswerSize];
    quint16 transaction = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        ++transaction;
        request[0] = uint8_t(transaction >> 8);
        request[1] = uint8_t(transaction);
        int received = 0;
        if (send(fd, request, sizeof request, 0) == sizeof request) {
            for (ssize_t got = 1; received < AnswerSize && got > 0; received += int(got))
                got = recv(fd, answer + received, size_t(AnswerSize - received), 0);
        }
        if (received != AnswerSize) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    record(state, name, std::chrono::steady_clock::now() - start);
    close(fd);
}

void plainSocketClientLibmodbusServer(benchmark::State &state)
{
    plainSocketClient(state, libmodbusServer->port(), "tcp_plain_socket_client_vs_libmodbus_server");
}

void ourClientLibmodbusServer(benchmark::State &state)
{
    ourClient(state, libmodbusServer->port(), "tcp_our_client_vs_libmodbus_server");
}

void libmodbusClientLibmodbusServer(benchmark::State &state)
{
    libmodbusClient(state, libmodbusServer->port(), "tcp_libmodbus_client_vs_libmodbus_server");
}

void libmodbusClientOurServer(benchmark::State &state)
{
    libmodbusClient(state, ourServer->port(), "tcp_libmodbus_client_vs_our_server");
}

void ourClientOurServer(benchmark::State &state)
{
    ourClient(state, ourServer->port(), "tcp_our_client_vs_our_server");
}

BENCHMARK(ourClientLibmodbusServer)->Iterations(Requests)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(libmodbusClientLibmodbusServer)->Iterations(Requests)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(plainSocketClientLibmodbusServer)->Iterations(Requests)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(libmodbusClientOurServer)->Iterations(Requests)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(ourClientOurServer)->Iterations(Requests)->UseRealTime()->Unit(benchmark::kMicrosecond);

void printFigure(const std::string &name)
{
    if (figures.count(name))
        std::printf("%s: %.0f requests/s\n", name.c_str(), figures[name]);
}

void printRatio(const char *name, const std::string &ours, const std::string &theirs)
{
    if (figures.count(ours) && figures.count(theirs))
        std::printf("%s: %.2f x\n", name, figures[ours] / figures[theirs]);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    OurServer<ModbusTcpServer> ours;
    LibmodbusServer theirs;
    ourServer = &ours;
    libmodbusServer = &theirs;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const auto &entry : figures)
        printFigure(entry.first);
    printRatio("tcp_client_ratio_ours_over_libmodbus", "tcp_our_client_vs_libmodbus_server",
               "tcp_libmodbus_client_vs_libmodbus_server");
    printRatio("tcp_plain_socket_client_ratio_over_libmodbus", "tcp_plain_socket_client_vs_libmodbus_server",
               "tcp_libmodbus_client_vs_libmodbus_server");
    printRatio("tcp_server_ratio_ours_over_libmodbus", "tcp_libmodbus_client_vs_our_server",
               "tcp_libmodbus_client_vs_libmodbus_server");
    return 0;
}
