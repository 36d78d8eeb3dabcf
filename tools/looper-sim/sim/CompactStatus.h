#pragma once
// The status report the looper sends over the network: 232 bytes of unsigned
// 32-bit big-endian words. Mark 48000 at 0, the track count at 4, then seven
// arrays with one word per track slot (room for eight): state (code in the
// last byte), length, position, level, pan, feedback and selection.
#include <cstddef>
#include <span>

#include "common/Bytes.h"
#include "sim/TrackDeck.h"

namespace qx::sim {

inline constexpr std::size_t kCompactStatusSize = 232;
inline constexpr std::uint32_t kCompactMark = 48000;

// The level goes out as the 32-bit two's complement of its negation, so a
// level of 10 reads 4294967286. Tracks beyond the eighth are left out.
Bytes compactStatus(std::span<const SimTrack> tracks, int selected);

}  // namespace qx::sim
