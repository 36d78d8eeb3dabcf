#include "sim/CompactStatus.h"

#include <algorithm>

namespace qx::sim {
namespace {

void putWord(Bytes& out, std::size_t offset, std::uint32_t value)
{
    out[offset] = static_cast<std::uint8_t>(value >> 24);
    out[offset + 1] = static_cast<std::uint8_t>(value >> 16);
    out[offset + 2] = static_cast<std::uint8_t>(value >> 8);
    out[offset + 3] = static_cast<std::uint8_t>(value);
}

}  // namespace

Bytes compactStatus(std::span<const SimTrack> tracks, int selected)
{
    Bytes out(kCompactStatusSize, 0);
    const std::size_t n = std::min<std::size_t>(tracks.size(), 8);
    putWord(out, 0, kCompactMark);
    putWord(out, 4, static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const SimTrack& t = tracks[i];
        putWord(out, 8 + 4 * i, static_cast<std::uint32_t>(t.state));
        putWord(out, 40 + 4 * i, static_cast<std::uint32_t>(t.length));
        putWord(out, 72 + 4 * i, static_cast<std::uint32_t>(t.position));
        putWord(out, 104 + 4 * i, static_cast<std::uint32_t>(-static_cast<std::int64_t>(t.level)));
        putWord(out, 136 + 4 * i, t.pan);
        putWord(out, 168 + 4 * i, t.feedback);
        putWord(out, 200 + 4 * i, static_cast<int>(i) + 1 == selected ? 1u : 0u);
    }
    return out;
}

}  // namespace qx::sim
