#ifndef RAWTCPPEER_H
#define RAWTCPPEER_H

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

// A Modbus/TCP client on a bare socket, the least any client can do: what it costs is the floor
// the benchmarks set our peers beside.
namespace RawTcpPeer {

// A socket connected (or, not blocking, connecting) to port on 127.0.0.1, without Nagle's delay;
// -1 when the connect fails at once.
inline int connectTo(int port, bool blocking = true)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (!blocking)
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 && blocking) {
        close(fd);
        return -1;
    }
    return fd;
}

// count requests for registers holding registers from 400001 on, unit 1, transactions first onwards.
inline std::vector<uint8_t> readRequests(int count, int registers, int first = 0)
{
    std::vector<uint8_t> requests;
    for (int transaction = first; transaction < first + count; ++transaction)
        requests.insert(requests.end(), {uint8_t(transaction >> 8), uint8_t(transaction), 0, 0, 0, 6, 1, 3, 0, 0, 0,
                                         uint8_t(registers)});
    return requests;
}

// The size of the answer to one such request.
constexpr int readAnswerSize(int registers)
{
    return 9 + 2 * registers;
}

// Sends requests and reads answerSize bytes of answers into answers; false when either fails.
inline bool exchange(int fd, const std::vector<uint8_t> &requests, std::vector<uint8_t> &answers, int answerSize)
{
    answers.resize(size_t(answerSize));
    if (send(fd, requests.data(), requests.size(), 0) != ssize_t(requests.size()))
        return false;
    int received = 0;
    for (ssize_t got = 1; received < answerSize && got > 0; received += int(got))
        got = recv(fd, answers.data() + received, size_t(answerSize - received), 0);
    return received == answerSize;
}

} // namespace RawTcpPeer

#endif
