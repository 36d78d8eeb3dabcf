#pragma once
// The panel's side of a UDP conversation, for tests: one socket, datagrams out
// and in with a bounded wait.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>

#include "common/Bytes.h"

namespace qx::sim::test {

struct Datagram {
    Bytes bytes;
    std::string from;  // "a.b.c.d:port"
};

class UdpClient {
public:
    // Takes ownership of a socket made elsewhere (for instance in a network
    // namespace), or makes one bound to the address and port given.
    explicit UdpClient(int fd) : fd_(fd) {}
    UdpClient(const char* address, std::uint16_t port) : fd_(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP))
    {
        sockaddr_in sa = at(address, port);
        if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~UdpClient()
    {
        if (fd_ >= 0) close(fd_);
    }
    UdpClient(const UdpClient&) = delete;
    UdpClient& operator=(const UdpClient&) = delete;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool sendTo(const Bytes& bytes, const char* address, std::uint16_t port)
    {
        const sockaddr_in sa = at(address, port);
        return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) ==
               static_cast<ssize_t>(bytes.size());
    }
    bool sendTo(const std::string& text, const char* address, std::uint16_t port)
    {
        return sendTo(Bytes(text.begin(), text.end()), address, port);
    }

    // The next datagram, or nothing after the time-out.
    std::optional<Datagram> receive(std::chrono::milliseconds timeout)
    {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
        Bytes buffer(65536);
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n = recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0) return std::nullopt;
        buffer.resize(static_cast<std::size_t>(n));
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        return Datagram{std::move(buffer), std::string(text) + ":" + std::to_string(ntohs(from.sin_port))};
    }

    std::uint16_t localPort() const
    {
        sockaddr_in sa{};
        socklen_t length = sizeof sa;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &length);
        return ntohs(sa.sin_port);
    }

private:
    static sockaddr_in at(const char* address, std::uint16_t port)
    {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        inet_pton(AF_INET, address, &sa.sin_addr);
        return sa;
    }

    int fd_ = -1;
};

inline Bytes textBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

}  // namespace qx::sim::test
