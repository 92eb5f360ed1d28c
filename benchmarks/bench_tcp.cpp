#include "benchsupport.h"
#include "ourserver.h"
#include "rawtcppeer.h"

#include <TavrexBus1/modbustcpclient.h>
#include <TavrexBus1/modbustcpserver.h>

#include <QtCore/QCoreApplication>
#ifdef TAVREX_BENCH_QT_MODBUS
#include "freeport.h"

#include <QtSerialBus/QModbusTcpClient>
#include <QtSerialBus/QModbusTcpServer>
#endif

#include <benchmark/benchmark.h>
#include <modbus.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

// Sequential reads of 100 holding registers over Modbus/TCP on 127.0.0.1, side by side: our client,
// libmodbus's and Qt's against the same libmodbus server; our server, libmodbus's and Qt's against
// the same libmodbus client; and our server under 8 concurrent clients. Every server runs in a
// process of its own, so each side's CPU time per request is its own. The whole set runs Rounds
// times, interleaved, and each figure is the median of its rounds.
namespace {

constexpr int Registers = 100;
constexpr int Requests = 20000;
constexpr int ConcurrentClients = 8;
constexpr int Rounds = 3;

struct Sample
{
    double rate = 0;
    double clientCpuMicros = 0;
    double serverCpuMicros = 0;
    // Each time a thread of the client went to sleep: waits that a busy machine makes expensive.
    double clientSwitches = 0;
};
std::map<std::string, std::vector<Sample>> samples;

// A Modbus/TCP server in a child process of its own, serving registers 0-999 on 127.0.0.1.
class ServerProcess
{
public:
    // serve runs in the child: it listens, writes its port to the given descriptor, and serves.
    explicit ServerProcess(const std::function<int(int portPipe)> &serve)
    {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            close(pipeFds[0]);
            _exit(serve(pipeFds[1]));
        }
        close(pipeFds[1]);
        if (m_pid < 0 || read(pipeFds[0], &m_port, sizeof m_port) != sizeof m_port)
            m_port = 0;
        close(pipeFds[0]);
    }
    ~ServerProcess()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    int port() const { return m_port; }
    // The child's CPU time so far, in microseconds.
    double cpuMicros() const { return double(processCpuNanoseconds(m_pid)) / 1e3; }

private:
    pid_t m_pid = -1;
    int m_port = 0;
};

void tellPort(int portPipe, int port)
{
    [[maybe_unused]] const ssize_t written = write(portPipe, &port, sizeof port);
    close(portPipe);
}

int serveLibmodbus(int portPipe)
{
    modbus_t *context = modbus_new_tcp("127.0.0.1", 0);
    modbus_mapping_t *mapping = modbus_mapping_new(0, 0, 1000, 1000);
    const int listener = modbus_tcp_listen(context, 1);
    sockaddr_in address = {};
    socklen_t size = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size);
    tellPort(portPipe, ntohs(address.sin_port));
    // One client connection after the other.
    for (;;) {
        int accepted = listener;
        if (modbus_tcp_accept(context, &accepted) < 0)
            return 1;
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        for (int received; (received = modbus_receive(context, query)) >= 0;) {
            if (received > 0)
                modbus_reply(context, query, received, mapping);
        }
        modbus_close(context);
    }
}

// The server's own application in its child process, which is forked before the parent makes one.
struct ChildApplication
{
    int argc = 1;
    char name[7] = "server";
    char *argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

int serveOurs(int portPipe)
{
    ChildApplication child;
    Modbuser modbuser;
    auto *server = new ModbusTcpServer(0, &modbuser);
    server->setAddress(QHostAddress::LocalHost);
    modbuser.translator().addTransport(*server, true, false);
    answerEveryRead(modbuser);
    if (!server->connectTransport(false))
        return 1;
    tellPort(portPipe, server->port());
    return QCoreApplication::exec();
}

#ifdef TAVREX_BENCH_QT_MODBUS
int serveQt(int portPipe)
{
    ChildApplication child;
    QModbusTcpServer server;
    server.setMap({{QModbusDataUnit::HoldingRegisters, QModbusDataUnit(QModbusDataUnit::HoldingRegisters, 0, 1000)}});
    server.setServerAddress(1);
    // Qt's server cannot tell the port it took, so it is given one that was free a moment ago.
    const int port = freePort();
    server.setConnectionParameter(QModbusDevice::NetworkAddressParameter, QStringLiteral("127.0.0.1"));
    server.setConnectionParameter(QModbusDevice::NetworkPortParameter, port);
    if (!server.connectDevice())
        return 1;
    tellPort(portPipe, port);
    return QCoreApplication::exec();
}
#endif

ServerProcess *libmodbusServer = nullptr;
ServerProcess *ourServer = nullptr;
ServerProcess *qtServer = nullptr;

// Context switches of every thread of this process so far.
double processSwitches()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_nvcsw + usage.ru_nivcsw);
}

double processCpuMicros()
{
    return double(cpuNanoseconds(CLOCK_PROCESS_CPUTIME_ID)) / 1e3;
}

// Measures the requests a benchmark makes against server: the rate and each side's CPU time.
class Measurement
{
public:
    Measurement(const ServerProcess &server)
        : m_server(server), m_clientCpu(processCpuMicros()), m_serverCpu(server.cpuMicros()),
          m_clientSwitches(processSwitches()), m_start(std::chrono::steady_clock::now())
    {
    }
    void record(benchmark::State &state, const std::string &name, double requests) const
    {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        Sample sample;
        sample.rate = requests / seconds;
        sample.clientCpuMicros = (processCpuMicros() - m_clientCpu) / requests;
        sample.serverCpuMicros = (m_server.cpuMicros() - m_serverCpu) / requests;
        sample.clientSwitches = (processSwitches() - m_clientSwitches) / requests;
        state.counters["requests_per_s"] = sample.rate;
        samples[name].push_back(sample);
    }

private:
    const ServerProcess &m_server;
    double m_clientCpu;
    double m_serverCpu;
    double m_clientSwitches;
    std::chrono::steady_clock::time_point m_start;
};

void ourClient(benchmark::State &state, const ServerProcess &server, const std::string &name)
{
    Modbuser modbuser;
    auto *client = new ModbusTcpClient(QHostAddress::LocalHost, server.port());
    if (!connectOurClient(state, modbuser, client))
        return;
    const Measurement measurement(server);
    if (readEachIteration(state, modbuser, Registers))
        measurement.record(state, name, double(state.iterations()));
    client->disconnectTransport();
}

// A connected libmodbus context, or null.
modbus_t *libmodbusConnection(int port)
{
    modbus_t *context = modbus_new_tcp("127.0.0.1", port);
    // Unit 1, as every other client here asks; Qt's server answers no other.
    modbus_set_slave(context, 1);
    if (modbus_connect(context) == 0)
        return context;
    modbus_free(context);
    return nullptr;
}

bool libmodbusReads(modbus_t *context, int count)
{
    uint16_t registers[Registers];
    for (int i = 0; i < count; ++i) {
        if (modbus_read_registers(context, 0, Registers, registers) != Registers)
            return false;
    }
    return true;
}

void libmodbusClient(benchmark::State &state, const ServerProcess &server, const std::string &name)
{
    modbus_t *context = libmodbusConnection(server.port());
    if (!context) {
        state.SkipWithError(modbus_strerror(errno));
        return;
    }
    const Measurement measurement(server);
    bool ok = true;
    for (auto _ : state) {
        if (!(ok = libmodbusReads(context, 1)))
            break;
    }
    if (ok)
        measurement.record(state, name, double(state.iterations()));
    else
        state.SkipWithError(modbus_strerror(errno));
    modbus_close(context);
    modbus_free(context);
}

// Clients on threads of their own, each reading as fast as it can; the rate is their total.
void concurrentLibmodbusClients(benchmark::State &state, const ServerProcess &server, const std::string &name)
{
    constexpr int PerClient = Requests / 2;
    std::vector<modbus_t *> contexts;
    for (int i = 0; i < ConcurrentClients; ++i) {
        if (modbus_t *context = libmodbusConnection(server.port()))
            contexts.push_back(context);
    }
    std::atomic<int> failures{0};
    const Measurement measurement(server);
    for (auto _ : state) {
        std::vector<std::thread> threads;
        for (modbus_t *context : contexts)
            threads.emplace_back([context, &failures] { failures += !libmodbusReads(context, PerClient); });
        for (std::thread &thread : threads)
            thread.join();
    }
    if (contexts.size() != ConcurrentClients || failures != 0)
        state.SkipWithError("a client could not connect or read");
    else
        measurement.record(state, name, double(state.iterations()) * ConcurrentClients * PerClient);
    for (modbus_t *context : contexts) {
        modbus_close(context);
        modbus_free(context);
    }
}

#ifdef TAVREX_BENCH_QT_MODBUS
// Qt's client as its users drive it: a request, then the event loop until the reply is finished.
void qtClient(benchmark::State &state, const ServerProcess &server, const std::string &name)
{
    QModbusTcpClient client;
    client.setConnectionParameter(QModbusDevice::NetworkAddressParameter, QStringLiteral("127.0.0.1"));
    client.setConnectionParameter(QModbusDevice::NetworkPortParameter, server.port());
    client.setNumberOfRetries(0);
    client.connectDevice();
    while (client.state() == QModbusDevice::ConnectingState)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (client.state() != QModbusDevice::ConnectedState) {
        state.SkipWithError(client.errorString().toUtf8().constData());
        return;
    }
    const QModbusDataUnit unit(QModbusDataUnit::HoldingRegisters, 0, Registers);
    const Measurement measurement(server);
    for (auto _ : state) {
        std::unique_ptr<QModbusReply> reply(client.sendReadRequest(unit, 1));
        while (reply && !reply->isFinished())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!reply || reply->error() != QModbusDevice::NoError) {
            state.SkipWithError(reply ? reply->errorString().toUtf8().constData() : "request refused");
            return;
        }
    }
    measurement.record(state, name, double(state.iterations()));
    client.disconnectDevice();
}
#endif

// The least any client can do per request: one send and blocking receives, no framing checks.
// Its rate bounds what a client can gain over another against the same server.
void plainSocketClient(benchmark::State &state, const ServerProcess &server, const std::string &name)
{
    const int fd = RawTcpPeer::connectTo(server.port());
    if (fd < 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    std::vector<uint8_t> request = RawTcpPeer::readRequests(1, Registers);
    std::vector<uint8_t> answer;
    quint16 transaction = 0;
    const Measurement measurement(server);
    for (auto _ : state) {
        ++transaction;
        request[0] = uint8_t(transaction >> 8);
        request[1] = uint8_t(transaction);
        if (!RawTcpPeer::exchange(fd, request, answer, RawTcpPeer::readAnswerSize(Registers))) {
            state.SkipWithError("exchange failed");
            close(fd);
            return;
        }
    }
    measurement.record(state, name, double(state.iterations()));
    close(fd);
}

// Requests sent Pipelined at a time in one write, as a data logger catching up sends them; the
// server may answer them in one write too. Only our server is asked: libmodbus's stalls for tens
// of milliseconds on such a batch here, which would measure the stalls rather than its path.
void pipelinedClient(benchmark::State &state, const ServerProcess &server, const std::string &name)
{
    constexpr int Pipelined = 100;
    const int fd = RawTcpPeer::connectTo(server.port());
    if (fd < 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    const std::vector<uint8_t> batch = RawTcpPeer::readRequests(Pipelined, Registers);
    std::vector<uint8_t> answers;
    const Measurement measurement(server);
    for (auto _ : state) {
        if (!RawTcpPeer::exchange(fd, batch, answers, Pipelined * RawTcpPeer::readAnswerSize(Registers))) {
            state.SkipWithError("exchange failed");
            close(fd);
            return;
        }
    }
    measurement.record(state, name, double(state.iterations()) * Pipelined);
    close(fd);
}

using Client = void (*)(benchmark::State &, const ServerProcess &, const std::string &);

void add(const std::string &name, Client client, ServerProcess *const *server, int iterations = Requests)
{
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State &state) {
        if (!*server || (*server)->port() == 0)
            state.SkipWithError("the server did not start");
        else
            client(state, **server, name);
    })->Iterations(iterations)->UseRealTime()->Unit(benchmark::kMicrosecond);
}

void registerRound()
{
    add("tcp_our_client_vs_libmodbus_server", ourClient, &libmodbusServer);
    add("tcp_libmodbus_client_vs_libmodbus_server", libmodbusClient, &libmodbusServer);
#ifdef TAVREX_BENCH_QT_MODBUS
    add("tcp_qt_client_vs_libmodbus_server", qtClient, &libmodbusServer);
#endif
    add("tcp_plain_socket_client_vs_libmodbus_server", plainSocketClient, &libmodbusServer);
    add("tcp_libmodbus_client_vs_our_server", libmodbusClient, &ourServer);
#ifdef TAVREX_BENCH_QT_MODBUS
    add("tcp_libmodbus_client_vs_qt_server", libmodbusClient, &qtServer);
    add("tcp_8_libmodbus_clients_vs_qt_server", concurrentLibmodbusClients, &qtServer, 1);
#endif
    add("tcp_8_libmodbus_clients_vs_our_server", concurrentLibmodbusClients, &ourServer, 1);
    add("tcp_pipelined_client_vs_our_server", pipelinedClient, &ourServer, Requests / 100);
    add("tcp_our_client_vs_our_server", ourClient, &ourServer);
}

template <typename Field>
double median(const std::vector<Sample> &list, Field field)
{
    std::vector<double> values;
    for (const Sample &sample : list)
        values.push_back(sample.*field);
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double rateOf(const std::string &name)
{
    const auto it = samples.find(name);
    return it == samples.end() ? 0 : median(it->second, &Sample::rate);
}

void printRatio(const char *name, const std::string &ours, const std::string &theirs)
{
    if (rateOf(ours) > 0 && rateOf(theirs) > 0)
        std::printf("%s: %.2f x\n", name, rateOf(ours) / rateOf(theirs));
}

void printFigures()
{
    for (const auto &[name, list] : samples) {
        std::printf("%s: %.0f requests/s\n", name.c_str(), median(list, &Sample::rate));
        std::printf("%s_client_cpu: %.1f us/request\n", name.c_str(), median(list, &Sample::clientCpuMicros));
        std::printf("%s_server_cpu: %.1f us/request\n", name.c_str(), median(list, &Sample::serverCpuMicros));
        std::printf("%s_client_switches: %.2f /request\n", name.c_str(), median(list, &Sample::clientSwitches));
    }
    printRatio("tcp_client_ratio_ours_over_libmodbus", "tcp_our_client_vs_libmodbus_server",
               "tcp_libmodbus_client_vs_libmodbus_server");
    printRatio("tcp_client_ratio_ours_over_qt", "tcp_our_client_vs_libmodbus_server",
               "tcp_qt_client_vs_libmodbus_server");
    printRatio("tcp_plain_socket_client_ratio_over_libmodbus", "tcp_plain_socket_client_vs_libmodbus_server",
               "tcp_libmodbus_client_vs_libmodbus_server");
    printRatio("tcp_server_ratio_ours_over_libmodbus", "tcp_libmodbus_client_vs_our_server",
               "tcp_libmodbus_client_vs_libmodbus_server");
    printRatio("tcp_server_ratio_ours_over_qt", "tcp_libmodbus_client_vs_our_server",
               "tcp_libmodbus_client_vs_qt_server");
    printRatio("tcp_server_8_clients_over_one_client", "tcp_8_libmodbus_clients_vs_our_server",
               "tcp_libmodbus_client_vs_our_server");
}

} // namespace

int main(int argc, char **argv)
{
    // The servers are forked before this process starts any thread.
    ServerProcess theirs(serveLibmodbus);
    ServerProcess ours(serveOurs);
    libmodbusServer = &theirs;
    ourServer = &ours;
#ifdef TAVREX_BENCH_QT_MODBUS
    ServerProcess qt(serveQt);
    qtServer = &qt;
#endif
    QCoreApplication app(argc, argv);
    for (int round = 0; round < Rounds; ++round)
        registerRound();
    runBenchmarks(argc, argv);
    printFigures();
    return 0;
}
