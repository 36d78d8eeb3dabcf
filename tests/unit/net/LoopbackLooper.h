#pragma once
// A stand-in looper on 127.0.0.1: it records every datagram it receives and
// answers the identity, status and log queries the way the real unit does.
// Its loop wakes every 20 ms to see whether it should end.
#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CompactReport.h"

namespace qx::test {

class LoopbackLooper {
public:
    struct Received {
        Bytes bytes;
        sockaddr_in from{};
        std::string text() const { return std::string(bytes.begin(), bytes.end()); }
    };

    LoopbackLooper()
    {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof local;
        ::bind(socket_, reinterpret_cast<sockaddr*>(&local), length);
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length);
        port_ = ntohs(local.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackLooper()
    {
        stop_.store(true);
        thread_.join();
        ::close(socket_);
    }
    LoopbackLooper(const LoopbackLooper&) = delete;
    LoopbackLooper& operator=(const LoopbackLooper&) = delete;

    std::uint16_t port() const { return port_; }
    std::atomic<bool> answerQueries{true};
    std::atomic<const char*> identity{"<id>Loop</id>"};  // nullptr: no answer

    std::vector<Received> received() const
    {
        std::lock_guard guard(lock_);
        return received_;
    }
    std::size_t count(const std::string& text) const
    {
        std::size_t n = 0;
        for (const auto& r : received()) n += r.text() == text;
        return n;
    }
    void sendTo(const Bytes& bytes, const sockaddr_in& to)
    {
        ::sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

private:
    void serve()
    {
        Bytes buffer(4096);
        while (!stop_.load()) {
            pollfd ready{socket_, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0) continue;
            Received r;
            socklen_t length = sizeof r.from;
            const ssize_t got =
                ::recvfrom(socket_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&r.from), &length);
            if (got < 0) continue;
            r.bytes.assign(buffer.begin(), buffer.begin() + got);
            {
                std::lock_guard guard(lock_);
                received_.push_back(r);
            }
            const std::string text = r.text();
            const std::string log = std::string("<log>tick\n</log>") + '\0';
            const std::string id = identity.load() ? identity.load() : "";
            if (text == "<query>id</query>" && !id.empty())
                sendTo(Bytes(id.begin(), id.end()), r.from);
            else if (text == "<query>status compact</query>" && answerQueries.load())
                sendTo(CompactReport(4).set(State, 0, 4).set(Length, 0, 96000).set(Selection, 1, 1).bytes, r.from);
            else if (text == "<query>log</query>" && answerQueries.load())
                sendTo(Bytes(log.begin(), log.end()), r.from);
        }
    }

    int socket_ = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex lock_;
    std::vector<Received> received_;
    std::thread thread_;
};

}  // namespace qx::test
