#include "benchsupport.h"
#include "ourserver.h"
#include "rawtcppeer.h"

#include <TavrexBus1/modbustcpserver.h>

#include <QtCore/QCoreApplication>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

// Our Modbus/TCP server with many idle peers: how fast it still answers a well-behaved client, and
// what an idle peer costs it.
namespace {

constexpr int IdlePeers = 1000;
constexpr int Registers = 100;
constexpr int Requests = 10000;
constexpr int Rounds = 5;

OurServer<ModbusTcpServer> *server = nullptr;
std::vector<int> idle;

int targets()
{
    return server->onServer([](ModbusTcpServer &ours) { return ours.targetsCount(); });
}

double serverCpuSeconds()
{
    return server->onServer(
        [](ModbusTcpServer &) { return double(cpuNanoseconds(CLOCK_THREAD_CPUTIME_ID)) / 1e9; });
}

// Opened in batches that the listen backlog takes whole, once the server has no other peer.
bool openIdlePeers(int count)
{
    while (targets() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    while (int(idle.size()) < count) {
        for (int i = 0; i < 40 && int(idle.size()) < count; ++i)
            idle.push_back(RawTcpPeer::connectTo(server->port(), false));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (targets() < int(idle.size())) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return true;
}

void closeIdlePeers()
{
    for (const int fd : idle)
        close(fd);
    idle.clear();
}

struct Run
{
    double rate = 0;
    double serverCpuMicroseconds = 0;
};

// The best of several runs: the highest rate, the least server time per request.
void keepBest(Run &best, const Run &run)
{
    best.rate = std::max(best.rate, run.rate);
    if (best.serverCpuMicroseconds == 0 || run.serverCpuMicroseconds < best.serverCpuMicroseconds)
        best.serverCpuMicroseconds = run.serverCpuMicroseconds;
}

// Sequential reads of 100 registers, one send and blocking receives each.
Run wellBehavedClient()
{
    const int fd = RawTcpPeer::connectTo(server->port(), true);
    std::vector<uint8_t> request = RawTcpPeer::readRequests(1, Registers);
    std::vector<uint8_t> answer;
    const double cpuBefore = serverCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (int transaction = 1; transaction <= Requests; ++transaction) {
        request[0] = uint8_t(transaction >> 8);
        request[1] = uint8_t(transaction);
        if (!RawTcpPeer::exchange(fd, request, answer, RawTcpPeer::readAnswerSize(Registers))) {
            close(fd);
            return {};
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = serverCpuSeconds() - cpuBefore;
    close(fd);
    return {Requests / seconds, cpu * 1e6 / Requests};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Each idle peer takes two descriptors here: its own and the server's.
    const rlim_t descriptors = raiseDescriptorLimit();
    if (descriptors < rlim_t(2 * IdlePeers + 100)) {
        std::fprintf(stderr, "the descriptor limit (%ld) is too low for %d idle peers\n", long(descriptors),
                     IdlePeers);
        return 1;
    }
    OurServer<ModbusTcpServer> ours;
    server = &ours;
    ours.onServer([](ModbusTcpServer &tcp) {
        tcp.setMaxConnections(IdlePeers + 10);
        return true;
    });
    // Rounds with and without idle peers take turns, and the best of each counts, so that a
    // machine busy with other work disturbs both alike. The server's own processor time per
    // request tells the same with less noise.
    Run undisturbed;
    Run besideIdle;
    double memoryPerPeer = 0;
    for (int round = 0; round < Rounds; ++round) {
        keepBest(undisturbed, wellBehavedClient());
        const double before = residentKilobytes();
        if (!openIdlePeers(IdlePeers)) {
            std::fprintf(stderr, "the idle peers were not all accepted\n");
            return 1;
        }
        if (round == 0)
            memoryPerPeer = (residentKilobytes() - before) / IdlePeers;
        keepBest(besideIdle, wellBehavedClient());
        closeIdlePeers();
    }
    if (undisturbed.rate == 0 || besideIdle.rate == 0) {
        std::fprintf(stderr, "an exchange failed\n");
        return 1;
    }
    std::printf("hostile_undisturbed: %.0f requests/s\n", undisturbed.rate);
    std::printf("hostile_beside_%d_idle_peers: %.0f requests/s\n", IdlePeers, besideIdle.rate);
    std::printf("hostile_rate_kept_beside_idle_peers: %.1f %%\n", 100 * besideIdle.rate / undisturbed.rate);
    std::printf("hostile_server_cpu_per_request_undisturbed: %.2f us\n", undisturbed.serverCpuMicroseconds);
    std::printf("hostile_server_cpu_per_request_beside_idle_peers: %.2f us\n", besideIdle.serverCpuMicroseconds);
    std::printf("hostile_server_memory_per_idle_peer: %.2f KiB\n", memoryPerPeer);
    return 0;
}
