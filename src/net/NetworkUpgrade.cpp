#include "net/NetworkUpgrade.h"

#include <system_error>

#include "net/NetUpgradeTransfer.h"
#include "protocol/TextMessages.h"
#include "protocol/UpgradeFile.h"

namespace qx {
namespace {

std::string stoppedText(const char* why, const NetUpgradeTransfer& transfer)
{
    return std::string("Upgrade stopped: ") + why + " at slice " + std::to_string(transfer.slice()) + " of " +
           std::to_string(transfer.sliceCount());
}

}  // namespace

NetworkUpgrade::NetworkUpgrade(LinkHost host, Pacer& pacer, std::atomic<bool>& paused, SocketOpener openSocket,
                               FoundLooper found)
    : host_(host), pacer_(pacer), paused_(paused), openSocket_(std::move(openSocket)), found_(std::move(found))
{
}

std::optional<std::string> NetworkUpgrade::start(Bytes contents)
{
    if (contents.empty()) return std::string("Upgrade refused: the file is empty");
    if (contents.size() > kMaxUpgradeFile)
        return std::string("Upgrade refused: the file is longer than 1,000,000 bytes");
    const LooperOnNetwork looper = found_();
    if (!looper.interface || !isAddressSet(looper.address))
        return std::string("Upgrade refused: no looper found on the network");
    if (running_.exchange(true)) return std::string("Upgrade refused: an upgrade is already running");
    // The previous upgrade thread has ended its work; collect it.
    if (thread_.joinable()) thread_.join();
    auto transfer = std::make_shared<NetUpgradeTransfer>(std::move(contents), looper.address);
    try {
        thread_ = std::thread([this, transfer] { run(transfer); });
    } catch (const std::system_error& error) {
        running_.store(false);
        return std::string("Upgrade refused: ") + error.what();
    }
    return std::nullopt;
}

void NetworkUpgrade::stop()
{
    std::shared_ptr<UdpSocket> socket;
    {
        std::lock_guard guard(socketLock_);
        socket = socket_;
    }
    if (socket) socket->wake();
    if (thread_.joinable()) thread_.join();
}

void NetworkUpgrade::run(std::shared_ptr<NetUpgradeTransfer> transfer)
{
    paused_.store(true);
    Outcome outcome;
    const LooperOnNetwork looper = found_();
    std::shared_ptr<UdpSocket> socket = looper.interface ? openSocket_() : nullptr;
    if (!looper.interface) {
        outcome = {false, "Upgrade stopped: no looper found on the network"};
    } else if (!socket) {
        outcome = {false, "Upgrade stopped: no socket for the upgrade"};
    } else {
        {
            std::lock_guard guard(socketLock_);
            socket_ = socket;
        }
        outcome = serve(*socket, looper.address, *transfer);
        {
            std::lock_guard guard(socketLock_);
            socket_.reset();
        }
    }
    paused_.store(false);
    running_.store(false);
    host_.reports.upgradeEnded(std::move(outcome));
}

Outcome NetworkUpgrade::serve(UdpSocket& socket, const sockaddr_in& looper, NetUpgradeTransfer& transfer)
{
    socket.sendTo(net::bytesOf(transfer.announcement()), looper);
    Bytes buffer(kMaxDatagram);
    while (!transfer.finished() && !pacer_.stopRequested()) {
        const UdpSocket::Received got = socket.receiveFrom(buffer);
        if (pacer_.stopRequested()) break;
        const NetUpgradeTransfer::Reaction reaction =
            got.kind == UdpSocket::Received::Kind::datagram
                ? transfer.onDatagram(std::span(buffer).first(got.size), got.sender)
                : transfer.onSilence();
        if (reaction.sendSlice) socket.sendTo(transfer.sliceDatagram(*reaction.sendSlice), reaction.to);
        if (reaction.progress) host_.reports.showProgress(*reaction.progress);
    }
    if (transfer.complete())
        return {true, "Upgrade finished: " + std::to_string(transfer.length()) + " bytes sent over the network"};
    if (pacer_.stopRequested()) return {false, stoppedText("the link was shut down", transfer)};
    return {false, stoppedText("the looper fell silent", transfer)};
}

}  // namespace qx
