#pragma once
// One UDP socket as the network link uses it: IPv4, address reuse and
// broadcast allowed, receives bounded by a 1-second time-out. The descriptor is
// closed when the object goes, so a number is never reused while a thread
// still holds the object.
#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "common/TrafficTrace.h"

namespace qx {

// The largest datagram the link reads; the looper's replies are shorter.
inline constexpr std::size_t kMaxDatagram = 2048;

class UdpSocket {
public:
    // Opens and configures a socket; nothing when the platform refuses one.
    static std::shared_ptr<UdpSocket> open();

    explicit UdpSocket(int descriptor) : descriptor_(descriptor) {}
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Sends the bytes as one datagram; the result is not looked at by callers.
    bool sendTo(std::span<const std::uint8_t> bytes, const sockaddr_in& to);

    struct Received {
        enum class Kind { datagram, timedOut, failed } kind = Kind::failed;
        std::size_t size = 0;
        sockaddr_in sender{};
    };
    // Waits up to the receive time-out for one datagram.
    Received receiveFrom(std::span<std::uint8_t> buffer);
    // Changes the receive time-out (one second when opened); a wait under a
    // millisecond is raised to one, as zero would mean no time-out at all.
    void setReceiveWait(std::chrono::microseconds wait);

    // Releases a thread blocked in receiveFrom at once (used when a loop is
    // asked to end); later receives return at once too.
    void wake();

    int descriptor() const { return descriptor_; }
    // Every datagram sent and received from now on goes to the trace too.
    void setTrace(std::shared_ptr<TrafficTrace> trace) { trace_ = std::move(trace); }

private:
    const int descriptor_;
    std::shared_ptr<TrafficTrace> trace_;
};

// How the link opens its sockets; tests put a failing opener in its place.
using SocketOpener = std::function<std::shared_ptr<UdpSocket>()>;

}  // namespace qx
