#pragma once
// The network side of the link to the looper. While MIDI has handed the link
// over, its thread lists the IPv4 interfaces, broadcasts an identity query on
// each, and polls the first looper that answers with text queries over UDP,
// forwarding the queued commands as datagrams. A receive thread decodes the
// replies. When the looper falls silent (or none answers) the link goes back
// to MIDI. It also serves a firmware upgrade in acknowledged 512-byte slices.
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

#include "common/LinkContracts.h"
#include "common/Pacer.h"
#include "net/InterfaceList.h"
#include "net/SocketAddress.h"
#include "net/UdpSocket.h"

namespace qx {

class NetUpgradeTransfer;

class QXNetworkInterface final : public NetworkSide {
public:
    // The collaborators a test replaces: where the interface list comes from,
    // the looper's port, and how sockets are opened.
    struct Options {
        InterfaceEnumerator enumerate = findInterfaces;
        std::uint16_t port = kLooperPort;
        SocketOpener openSocket = UdpSocket::open;
    };

    explicit QXNetworkInterface(LinkHost& host);
    QXNetworkInterface(LinkHost& host, Options options);
    ~QXNetworkInterface() override;
    QXNetworkInterface(const QXNetworkInterface&) = delete;
    QXNetworkInterface& operator=(const QXNetworkInterface&) = delete;

    // NetworkSide. start(), stop() and startUpgrade() are called from one
    // thread (the UI thread); sendToLooper() from any.
    void start() override;
    void stop() override;
    void sendToLooper(std::span<const std::uint8_t> message) override;
    std::optional<std::string> startUpgrade(Bytes contents) override;

    // What the last discovery found (any thread).
    std::optional<sockaddr_in> looperAddress() const;
    std::string looperID() const;
    std::optional<AddrPairs> foundInterface() const;

    // The poll counters, each read or written under `lock` alone.
    std::int64_t pollAttemptsNow() const;
    std::int64_t addPollAttempt();  // returns the new count
    void resetPollAttempts();
    bool pollingPausedNow() const;
    void setPollingPaused(bool paused);
    bool upgradeRunning() const { return upgradeRunning_.load(); }

    // The receive thread's handling of one datagram from the looper, by its
    // first byte: compact status, log reply, SysEx; anything else is dropped.
    void dispatchDatagram(std::span<const std::uint8_t> datagram);
    // One compact status report (first byte 0).
    void decodeStatus(std::span<const std::uint8_t> datagram);

private:
    void threadNetwork();
    // One pass: wait for the link, discover, poll, hand back. False once a
    // stop was asked for.
    bool networkPass();
    void discover(UdpSocket& socket);
    void pollingLoop(const std::shared_ptr<UdpSocket>& socket, const sockaddr_in& looper);
    void receiveThread(std::shared_ptr<UdpSocket> socket, sockaddr_in looper);
    void publishSocket(std::shared_ptr<UdpSocket> socket);
    void sendQuery(UdpSocket& socket, const sockaddr_in& looper, std::span<const std::uint8_t> bytes);

    void upgradeThread(std::shared_ptr<NetUpgradeTransfer> transfer);
    void sendUpgradeSlice(UdpSocket& socket, const sockaddr_in& to, const NetUpgradeTransfer& transfer,
                          int slice);
    void sendCommand(UdpSocket& socket, std::span<const std::uint8_t> text);

    LinkHost& host_;
    Options options_;
    Pacer pacer_;

    // Written and read by the network thread only.
    std::vector<AddrPairs> interfaceAddrs;

    // What the current pass found, replaced whole under foundLock_ (a lock of
    // its own, never held with `lock` or across a send or receive).
    mutable std::mutex foundLock_;
    std::shared_ptr<UdpSocket> qxDesc;   // the current pass's socket
    sockaddr_in qxAddr{};                // all zero while no looper is found
    std::string qxID;
    std::optional<AddrPairs> currentInterface;
    std::shared_ptr<UdpSocket> upgradeSocket_;

    // Guards exactly pollAttempts and pollingPaused.
    mutable std::mutex lock;
    std::int64_t pollAttempts = 0;
    bool pollingPaused = false;

    std::atomic<bool> receiveCancelled_{false};
    std::atomic<bool> upgradeRunning_{false};
    std::thread networkThread_;
    std::thread receiveThread_;  // started and joined by the network thread
    std::thread upgradeThread_;  // started by startUpgrade, joined by the next start or stop()
};

}  // namespace qx
