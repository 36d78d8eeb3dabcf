#pragma once
// The slice transfer of a network firmware upgrade, apart from any socket.
// After the announcement the looper asks for the file with a start request
// (00 01); the file goes out in 512-byte slices (00 03, slice number, data),
// numbered from 1, one slice per acknowledgement (00 04, slice number). A
// silent second resends the slice in flight; five silent seconds in a row end
// the transfer. A repeated start request begins again from the first byte.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/Bytes.h"

namespace qx {

class NetUpgradeTransfer {
public:
    static constexpr std::int64_t kSliceSize = 512;
    static constexpr int kMissesAllowed = 4;  // the transfer ends at the fifth

    // The file's contents and the looper that gets them. The start request is
    // taken from any port of that host; after it, start requests and
    // acknowledgements only from the address and port that sent it. Only
    // those reset the silence count.
    NetUpgradeTransfer(Bytes contents, const sockaddr_in& looper);

    // "<command>upgrade N</command>" with the file's length.
    std::string announcement() const;

    // What to do after one receive.
    struct Reaction {
        std::optional<int> sendSlice;  // slice number to send now
        sockaddr_in to{};              // ... and where to
        std::optional<double> progress;
    };
    Reaction onSilence();
    Reaction onDatagram(std::span<const std::uint8_t> datagram, const sockaddr_in& sender);

    // Slice n's datagram: 00 03, n (high byte first), the bytes from
    // upgradeIndex on, at most 512 of them.
    Bytes sliceDatagram(int n) const;

    bool complete() const { return upgradeIndex >= upgradeLength; }
    bool finished() const { return complete() || misses_ > kMissesAllowed; }
    int slice() const { return slice_; }
    std::int64_t sliceCount() const { return (upgradeLength + kSliceSize - 1) / kSliceSize; }
    std::int64_t length() const { return upgradeLength; }

private:
    Bytes upgradeBuf;
    std::int64_t upgradeLength = 0;
    std::int64_t upgradeIndex = 0;  // first byte of the slice in flight
    sockaddr_in looper_{};
    sockaddr_in sliceDestination_{};
    int slice_ = 0;  // 0 until the looper asks for the first slice
    int misses_ = 0;
};

}  // namespace qx
