#pragma once
// A stand-in looper on 127.0.0.1 for the link's thread tests: it records every
// datagram it receives and answers the identity, status and log queries and
// the upgrade transfer the way the real unit does. Its own loop wakes every
// 20 ms to see whether it should end.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CompactReport.h"
#include "common/Bytes.h"

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
        socket_ = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local);
        socklen_t length = sizeof local;
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

    // Behaviour switches, changed at any time.
    std::atomic<bool> answerIdentity{true};
    std::atomic<bool> answerQueries{true};
    std::atomic<int> dropEveryNthAck{0};  // 0: drop none
    std::atomic<bool> duplicateAcks{false};
    std::atomic<int> ackSlicesUpTo{1 << 30};  // falls silent after this slice

    void setIdentity(std::string reply)
    {
        std::lock_guard guard(lock_);
        identity_ = std::move(reply);
    }

    std::vector<Received> received() const
    {
        std::lock_guard guard(lock_);
        return received_;
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& r : received()) out.push_back(r.text());
        return out;
    }
    std::size_t count(const std::string& text) const
    {
        std::size_t n = 0;
        for (const auto& t : texts()) n += t == text;
        return n;
    }
    Bytes image() const
    {
        std::lock_guard guard(lock_);
        return image_;
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
            const ssize_t got = ::recvfrom(socket_, buffer.data(), buffer.size(), 0,
                                           reinterpret_cast<sockaddr*>(&r.from), &length);
            if (got < 0) continue;
            r.bytes.assign(buffer.begin(), buffer.begin() + got);
            {
                std::lock_guard guard(lock_);
                received_.push_back(r);
            }
            answer(r);
        }
    }

    void answer(const Received& r)
    {
        const std::string text = r.text();
        if (text == "<query>id</query>") {
            if (answerIdentity.load()) sendTo(identity(), r.from);
        } else if (text == "<query>status compact</query>") {
            if (answerQueries.load()) sendTo(CompactReport(4).state(0, 4).length(0, 96000).selection(1, 1).bytes, r.from);
        } else if (text == "<query>log</query>") {
            const std::string reply = std::string("<log>tick\n</log>") + '\0';
            if (answerQueries.load()) sendTo(Bytes(reply.begin(), reply.end()), r.from);
        } else if (text.starts_with("<command>upgrade ")) {
            {
                std::lock_guard guard(lock_);
                image_.clear();
                acks_ = 0;
            }
            sendTo(Bytes{0x00, 0x01}, r.from);
        } else if (r.bytes.size() >= 4 && r.bytes[0] == 0x00 && r.bytes[1] == 0x03) {
            receiveSlice(r);
        }
    }

    void receiveSlice(const Received& r)
    {
        const int slice = (r.bytes[2] << 8) | r.bytes[3];
        int ackNumber;
        {
            std::lock_guard guard(lock_);
            if (slice > ackSlicesUpTo.load()) return;
            // A slice already taken (a resend) is acknowledged again, not appended.
            if (slice == expected_ + 1 || slice == 1) {
                if (slice == 1) image_.clear();
                image_.insert(image_.end(), r.bytes.begin() + 4, r.bytes.end());
                expected_ = slice;
            }
            ackNumber = ++acks_;
        }
        const int dropEvery = dropEveryNthAck.load();
        if (dropEvery > 0 && ackNumber % dropEvery == 0) return;
        const Bytes ack{0x00, 0x04, r.bytes[2], r.bytes[3]};
        sendTo(ack, r.from);
        if (duplicateAcks.load()) sendTo(ack, r.from);
    }

    Bytes identity() const
    {
        std::lock_guard guard(lock_);
        return Bytes(identity_.begin(), identity_.end());
    }

    int socket_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex lock_;
    std::string identity_ = "<id>Loop</id>";
    std::vector<Received> received_;
    Bytes image_;
    int expected_ = 0;
    int acks_ = 0;
    std::thread thread_;
};

}  // namespace qx::test
