#include "net/NetUpgradeTransfer.h"

#include <algorithm>

#include "net/SocketAddress.h"

namespace qx {
namespace {

constexpr std::uint8_t kStartRequest = 0x01;
constexpr std::uint8_t kSlice = 0x03;
constexpr std::uint8_t kAcknowledgement = 0x04;

}  // namespace

NetUpgradeTransfer::NetUpgradeTransfer(Bytes contents, const sockaddr_in& looper)
    : upgradeBuf(std::move(contents)),
      upgradeLength(static_cast<std::int64_t>(upgradeBuf.size())),
      looper_(looper)
{
}

std::string NetUpgradeTransfer::announcement() const
{
    return "<command>upgrade " + std::to_string(upgradeLength) + "</command>";
}

NetUpgradeTransfer::Reaction NetUpgradeTransfer::onSilence()
{
    Reaction reaction;
    ++misses_;
    // Before the looper's start request there is nothing to resend.
    if (slice_ >= 1 && !complete()) {
        reaction.sendSlice = slice_;
        reaction.to = sliceDestination_;
    }
    return reaction;
}

NetUpgradeTransfer::Reaction NetUpgradeTransfer::onDatagram(std::span<const std::uint8_t> datagram,
                                                            const sockaddr_in& sender)
{
    Reaction reaction;
    // The first start request may come from any port of the looper's host;
    // after it, only that address and port speak for the transfer.
    const bool started = slice_ >= 1;
    if (started ? !sameHostAndPort(sender, sliceDestination_) : !sameHost(sender, looper_)) return reaction;
    if (datagram.size() < 2 || datagram[0] != 0x00) return reaction;

    if (datagram[1] == kAcknowledgement) {
        // Before the start request no slice is in flight, so nothing can be
        // acknowledged yet.
        if (datagram.size() < 4 || !started) return reaction;
        const int acknowledged = (datagram[2] << 8) | datagram[3];
        // A late or repeated acknowledgement still shows the looper is there.
        if (acknowledged < 1 || acknowledged > slice_) return reaction;
        misses_ = 0;
        if (acknowledged != slice_) return reaction;
        upgradeIndex += kSliceSize;
        if (!complete()) {
            reaction.sendSlice = slice_ + 1;
            reaction.to = sender;
        }
        ++slice_;
        reaction.progress = upgradeLength > 0 ? std::min(1.0, static_cast<double>(upgradeIndex) /
                                                                   static_cast<double>(upgradeLength))
                                              : 1.0;
    } else if (datagram[1] == kStartRequest) {
        upgradeIndex = 0;
        slice_ = 1;
        misses_ = 0;
        sliceDestination_ = sender;
        reaction.sendSlice = 1;
        reaction.to = sender;
    }
    return reaction;
}

Bytes NetUpgradeTransfer::sliceDatagram(int n) const
{
    const std::int64_t start = std::min(upgradeIndex, upgradeLength);
    const std::int64_t count = std::min(upgradeLength - start, kSliceSize);
    Bytes out(4 + static_cast<std::size_t>(count));
    out[0] = 0x00;
    out[1] = kSlice;
    out[2] = static_cast<std::uint8_t>((n >> 8) & 0xFF);
    out[3] = static_cast<std::uint8_t>(n & 0xFF);
    std::copy_n(upgradeBuf.begin() + static_cast<std::ptrdiff_t>(start), count, out.begin() + 4);
    return out;
}

}  // namespace qx
