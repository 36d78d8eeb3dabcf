#include "protocol/CompactStatus.h"

#include <algorithm>

namespace qx::net {
namespace {

// Word offsets of the arrays; track i's word is at base + 4 i.
constexpr std::size_t kCountOffset = 4;
constexpr std::size_t kState = 8;
constexpr std::size_t kLength = 40;
constexpr std::size_t kPosition = 72;
constexpr std::size_t kLevel = 104;
constexpr std::size_t kPan = 136;
constexpr std::size_t kFeedback = 168;
constexpr std::size_t kSelection = 200;

std::uint32_t wordAt(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return (std::uint32_t{bytes[offset]} << 24) | (std::uint32_t{bytes[offset + 1]} << 16) |
           (std::uint32_t{bytes[offset + 2]} << 8) | std::uint32_t{bytes[offset + 3]};
}

// How many leading tracks have every word inside the datagram: the selection
// array comes last, so track i fits when its selection word does.
std::size_t tracksThatFit(std::size_t size)
{
    if (size < kSelection + 4) return 0;
    return std::min(kCompactStatusTracks, (size - kSelection) / 4);
}

}  // namespace

std::optional<std::uint32_t> statusFormatMark(std::span<const std::uint8_t> datagram)
{
    if (datagram.size() < kCompactStatusHeader) return std::nullopt;
    return wordAt(datagram, 0);
}

std::vector<QXStatusStruct> decodeCompactStatus(std::span<const std::uint8_t> datagram)
{
    std::vector<QXStatusStruct> tracks;
    if (datagram.size() < kCompactStatusHeader) return tracks;
    const std::size_t declared = wordAt(datagram, kCountOffset);
    const std::size_t count = std::min<std::size_t>(declared, tracksThatFit(datagram.size()));
    auto signedAt = [&](std::size_t offset) { return static_cast<std::int32_t>(wordAt(datagram, offset)); };
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 4 * i;
        tracks.push_back(QXStatusStruct{
            .length = wordAt(datagram, kLength + at),
            .position = wordAt(datagram, kPosition + at),
            .status = datagram[kState + at + 3],
            .level = signedAt(kLevel + at),
            .pan = signedAt(kPan + at),
            .feedback = signedAt(kFeedback + at),
            .selected = wordAt(datagram, kSelection + at) != 0,
        });
    }
    return tracks;
}

}  // namespace qx::net
