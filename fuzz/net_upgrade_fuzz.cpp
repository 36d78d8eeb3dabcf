// The network upgrade's handling of the looper's replies: start requests
// (00 01), acknowledgements (00 04 n), anything else, from the looper or from
// another host, and silent seconds, in any order.
//
// Input: two bytes of file length (high byte first, at most 8192), then
// events of one byte each, some followed by data:
//   0  a silent second
//   1  a datagram from the looper: one length byte, then that many bytes
//   2  the same datagram from another host
//   3  the looper acknowledges the slice in flight
//   4  the looper asks for the file from the start
// Whatever the events: every slice sent is the file's own bytes at its place,
// progress stays within 0 to 1 and is the acknowledged share of the file,
// another host changes nothing, and five silent seconds in a row end it.
#include <arpa/inet.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "net/NetUpgradeTransfer.h"
#include "net/SocketAddress.h"

using qx::fuzz::require;

namespace {

void checkReaction(const qx::NetUpgradeTransfer& transfer, const qx::NetUpgradeTransfer::Reaction& reaction,
                   const qx::Bytes& file, const sockaddr_in& looper)
{
    if (reaction.progress) {
        const double expected =
            file.empty() ? 1.0
                         : std::min(1.0, static_cast<double>((transfer.slice() - 1) * 512) / static_cast<double>(file.size()));
        require(*reaction.progress >= 0.0 && *reaction.progress <= 1.0, "progress within 0 to 1");
        require(*reaction.progress == expected, "progress is the acknowledged share of the file");
    }
    if (!reaction.sendSlice) return;
    const int n = *reaction.sendSlice;
    require(n >= 1 && n <= transfer.sliceCount(), "only slices of the file are sent");
    require(qx::sameHost(reaction.to, looper), "slices go to the looper only");
    const qx::Bytes slice = transfer.sliceDatagram(n);
    const std::size_t offset = static_cast<std::size_t>(n - 1) * 512;
    const std::size_t count = std::min<std::size_t>(512, file.size() - offset);
    require(slice.size() == 4 + count && slice[0] == 0x00 && slice[1] == 0x03 &&
                slice[2] == ((n >> 8) & 0xFF) && slice[3] == (n & 0xFF),
            "a slice is 00 03, its number, then up to 512 bytes");
    require(std::equal(slice.begin() + 4, slice.end(), file.begin() + static_cast<std::ptrdiff_t>(offset)),
            "a slice carries the file's bytes at its place");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qx::fuzz::InputReader input({data, size});
    const std::size_t length = ((std::size_t{input.byte()} << 8) | input.byte()) % 8193;
    qx::Bytes file(length);
    for (std::size_t i = 0; i < length; ++i) file[i] = static_cast<std::uint8_t>(i * 31 + 7);

    const sockaddr_in looper = qx::makeSockaddr({10, 77, 0, 2}, qx::kLooperPort);
    const sockaddr_in looperReplyPort = qx::makeSockaddr({10, 77, 0, 2}, 40000);
    const sockaddr_in stranger = qx::makeSockaddr({10, 77, 0, 9}, qx::kLooperPort);
    qx::NetUpgradeTransfer transfer(file, looper);
    require(transfer.announcement() == "<command>upgrade " + std::to_string(length) + "</command>",
            "the announcement carries the file's length");

    int silentInARow = 0;
    while (!input.empty() && !transfer.finished()) {
        const std::uint8_t event = input.byte() % 5;
        qx::NetUpgradeTransfer::Reaction reaction;
        if (event == 0) {
            reaction = transfer.onSilence();
            ++silentInARow;
        } else if (event == 1 || event == 2) {
            const auto bytes = input.take(input.byte());
            const int sliceBefore = transfer.slice();
            if (event == 2) {
                reaction = transfer.onDatagram(bytes, stranger);
                require(!reaction.sendSlice && !reaction.progress && transfer.slice() == sliceBefore,
                        "another host changes nothing");
            } else {
                reaction = transfer.onDatagram(bytes, looperReplyPort);
                if (bytes.size() >= 2 && bytes[0] == 0x00) silentInARow = 0;
            }
        } else {
            const int n = event == 3 ? transfer.slice() : 0;
            const std::uint8_t reply[] = {0x00, static_cast<std::uint8_t>(event == 3 ? 0x04 : 0x01),
                                          static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
            reaction = transfer.onDatagram(reply, looperReplyPort);
            silentInARow = 0;
        }
        checkReaction(transfer, reaction, file, looper);
        require(silentInARow < 5 || transfer.finished(), "five silent seconds in a row end the transfer");
    }
    return 0;
}
