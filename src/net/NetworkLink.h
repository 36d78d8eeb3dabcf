#pragma once
// The network link. While MIDI holds the link it waits; when it is handed the
// link it broadcasts an identity query on each usable interface, polls the
// looper that answers with text queries and forwards queued SysEx messages as
// datagrams, while a receive thread decodes the replies. When the looper falls
// silent (or none answers) it hands the link back to MIDI. It also serves a
// firmware upgrade in acknowledged 512-byte slices.
#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "common/Pacer.h"
#include "net/InterfaceList.h"
#include "net/SocketAddress.h"
#include "net/UdpSocket.h"
#include "transport/Link.h"

namespace qx {

class NetworkUpgrade;

// What the current pass found: its socket, the looper's address and name, and
// the interface it answered on. All empty while nothing is found.
struct LooperOnNetwork {
    std::shared_ptr<UdpSocket> socket;
    sockaddr_in address{};  // all zero while no looper is found
    std::string name;
    std::optional<AddrPairs> interface;
};

class NetworkLink final : public Link {
public:
    // The collaborators a test replaces: where the interface list comes from,
    // the looper's port, and how sockets are opened.
    struct Options {
        InterfaceEnumerator enumerate = findInterfaces;
        std::uint16_t port = kLooperPort;
        SocketOpener openSocket = UdpSocket::open;
    };

    explicit NetworkLink(LinkHost host);
    NetworkLink(LinkHost host, Options options);
    ~NetworkLink() override;
    NetworkLink(const NetworkLink&) = delete;
    NetworkLink& operator=(const NetworkLink&) = delete;

    // start(), stop() and startUpgrade() are called from one thread (the UI thread).
    void start() override;
    void stop() override;
    std::optional<std::string> startUpgrade(Bytes contents) override;

    // A copy of what the last discovery found (any thread).
    LooperOnNetwork found() const;
    std::optional<sockaddr_in> looperAddress() const;

private:
    void threadNetwork();
    // One pass: wait for the link, discover, poll, hand back. False once a
    // stop was asked for.
    bool networkPass();
    void discover(UdpSocket& socket, const std::vector<AddrPairs>& interfaces);
    void pollingLoop(const std::shared_ptr<UdpSocket>& socket, const sockaddr_in& looper);
    void receiveThread(std::shared_ptr<UdpSocket> socket, sockaddr_in looper);
    // Says once when another looper's identity reply reaches the socket.
    void noticeSecondLooper(std::span<const std::uint8_t> datagram, const sockaddr_in& sender,
                            const sockaddr_in& looper);
    void publishSocket(std::shared_ptr<UdpSocket> socket);

    LinkHost host_;
    Options options_;
    Pacer pacer_;
    // Replaced whole under foundLock_, a lock of its own, never held with
    // another or across a send or receive.
    mutable std::mutex foundLock_;
    LooperOnNetwork found_;
    // True while an upgrade owns the looper's attention: polling pauses.
    std::atomic<bool> pollingPaused_{false};
    std::atomic<bool> receiveCancelled_{false};
    bool secondLooperTold_ = false;  // receive threads only, one after another
    std::unique_ptr<NetworkUpgrade> upgrade_;
    std::thread networkThread_;
    std::thread receiveThread_;  // started and joined by the network thread
};

}  // namespace qx
