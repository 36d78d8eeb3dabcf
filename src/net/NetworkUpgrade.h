#pragma once
// A firmware upgrade over the network: announced with a text command, then
// served slice by slice over a socket of its own, on a thread of its own,
// while polling pauses.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "common/Pacer.h"
#include "net/NetworkLink.h"

namespace qx {

class NetUpgradeTransfer;

class NetworkUpgrade {
public:
    using FoundLooper = std::function<LooperOnNetwork()>;
    // pacer: the link's, whose stop request ends the upgrade; paused: set
    // while the upgrade runs.
    NetworkUpgrade(LinkHost host, Pacer& pacer, std::atomic<bool>& paused, SocketOpener openSocket,
                   FoundLooper found);
    ~NetworkUpgrade() { stop(); }

    // The reason when it cannot start: an unfit file, no looper found, or an
    // upgrade already running.
    std::optional<std::string> start(Bytes contents);
    // Ends a running upgrade (its socket is woken) and waits for its thread.
    void stop();

private:
    void run(std::shared_ptr<NetUpgradeTransfer> transfer);
    Outcome serve(UdpSocket& socket, const sockaddr_in& looper, NetUpgradeTransfer& transfer);

    LinkHost host_;
    Pacer& pacer_;
    std::atomic<bool>& paused_;
    SocketOpener openSocket_;
    FoundLooper found_;
    std::mutex socketLock_;  // guards socket_ alone
    std::shared_ptr<UdpSocket> socket_;
    std::atomic<bool> running_{false};
    std::thread thread_;  // started by start(), joined by the next start or stop()
};

}  // namespace qx
