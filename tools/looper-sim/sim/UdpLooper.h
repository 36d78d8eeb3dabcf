#pragma once
// The simulated looper on a UDP socket: port 5667 of the address given, one
// message per datagram, every reply sent back to the datagram's sender.
// Bound to 0.0.0.0 it also hears broadcasts to any subnet it is on. Bound to
// one interface's own address it opens a second socket on that interface's
// broadcast address, so the panel's broadcast identity query still reaches it;
// the replies leave from the first socket, with the looper's own address, unless
// a reply port is given: then they leave from a third socket on that port of
// the same address, as a stranger on the LAN answering from elsewhere would.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "sim/LooperEngine.h"

namespace qx::sim {

inline constexpr std::uint16_t kLooperUdpPort = 5667;

class UdpLooper {
public:
    // Binds and starts receiving; throws std::runtime_error with the reason
    // when the address is not an IPv4 address or cannot be bound. Port 0 picks
    // a free port (see port()); so does a reply port of 0 (see replyPort()).
    UdpLooper(std::shared_ptr<LooperEngine> engine, const std::string& address, std::uint16_t port = kLooperUdpPort,
              std::optional<std::uint16_t> replyPort = std::nullopt);
    // Stops the receive and send threads promptly and closes the sockets.
    ~UdpLooper();
    UdpLooper(const UdpLooper&) = delete;
    UdpLooper& operator=(const UdpLooper&) = delete;

    std::uint16_t port() const;
    // The port replies leave from: port() unless a reply port was given.
    std::uint16_t replyPort() const;
    // The broadcast address the second socket listens on, if one was opened.
    std::string broadcastAddress() const;

private:
    struct Sockets;
    std::unique_ptr<Sockets> sockets_;
};

}  // namespace qx::sim
