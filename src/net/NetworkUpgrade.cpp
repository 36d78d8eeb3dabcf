// The firmware upgrade over the network: announced with a text command, then
// served slice by slice over a socket of its own while polling is paused.
#include "common/UpgradeFile.h"
#include "net/NetUpgradeTransfer.h"
#include "net/QXNetworkInterface.h"
#include "net/TextMessages.h"

namespace qx {
namespace {

std::string stoppedText(const char* why, const NetUpgradeTransfer& transfer)
{
    return std::string("Upgrade stopped: ") + why + " at slice " + std::to_string(transfer.slice()) + " of " +
           std::to_string(transfer.sliceCount());
}

}  // namespace

std::optional<std::string> QXNetworkInterface::startUpgrade(Bytes contents)
{
    if (contents.empty()) return std::string("Upgrade refused: the file is empty");
    if (contents.size() > kMaxUpgradeFile) return std::string("Upgrade refused: the file is longer than 1,000,000 bytes");
    const std::optional<sockaddr_in> looper = looperAddress();
    if (!foundInterface() || !looper) return std::string("Upgrade refused: no looper found on the network");
    if (upgradeRunning_.exchange(true)) return std::string("Upgrade refused: an upgrade is already running");
    // The previous upgrade thread has ended its work; collect it.
    if (upgradeThread_.joinable()) upgradeThread_.join();
    auto transfer = std::make_shared<NetUpgradeTransfer>(std::move(contents), *looper);
    upgradeThread_ = std::thread([this, transfer] { upgradeThread(transfer); });
    return std::nullopt;
}

void QXNetworkInterface::upgradeThread(std::shared_ptr<NetUpgradeTransfer> transfer)
{
    setPollingPaused(true);
    Outcome outcome;
    std::shared_ptr<UdpSocket> socket = foundInterface() ? options_.openSocket() : nullptr;
    if (!foundInterface()) {
        outcome = {false, "Upgrade stopped: no looper found on the network"};
    } else if (!socket) {
        outcome = {false, "Upgrade stopped: no socket for the upgrade"};
    } else {
        {
            std::lock_guard guard(foundLock_);
            upgradeSocket_ = socket;
        }
        sendCommand(*socket, net::bytesOf(transfer->announcement()));
        Bytes buffer(kMaxDatagram);
        while (!transfer->finished() && !pacer_.stopRequested()) {
            const UdpSocket::Received got = socket->receiveFrom(buffer);
            if (pacer_.stopRequested()) break;
            const NetUpgradeTransfer::Reaction reaction =
                got.kind == UdpSocket::Received::Kind::datagram
                    ? transfer->onDatagram(std::span(buffer).first(got.size), got.sender)
                    : transfer->onSilence();
            if (reaction.sendSlice) sendUpgradeSlice(*socket, reaction.to, *transfer, *reaction.sendSlice);
            if (reaction.progress) host_.showProgress(*reaction.progress);
        }
        {
            std::lock_guard guard(foundLock_);
            upgradeSocket_.reset();
        }
        socket.reset();
        if (transfer->complete())
            outcome = {true, "Upgrade finished: " + std::to_string(transfer->length()) + " bytes sent over the network"};
        else if (pacer_.stopRequested())
            outcome = {false, stoppedText("the link was shut down", *transfer)};
        else
            outcome = {false, stoppedText("the looper fell silent", *transfer)};
    }
    setPollingPaused(false);
    upgradeRunning_.store(false);
    host_.upgradeEnded(std::move(outcome));
}

void QXNetworkInterface::sendUpgradeSlice(UdpSocket& socket, const sockaddr_in& to,
                                          const NetUpgradeTransfer& transfer, int slice)
{
    if (!looperAddress()) return;
    socket.sendTo(transfer.sliceDatagram(slice), to);
}

void QXNetworkInterface::sendCommand(UdpSocket& socket, std::span<const std::uint8_t> text)
{
    if (const std::optional<sockaddr_in> looper = looperAddress()) socket.sendTo(text, *looper);
}

}  // namespace qx
