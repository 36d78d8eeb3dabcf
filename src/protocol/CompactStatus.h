#pragma once
// The looper's compact status report over the network: big-endian 32-bit
// words, a format mark of 48000, a track count, then seven arrays of eight
// words each (state, length, position, level, pan, feedback, selection).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "protocol/QXStatusStruct.h"

namespace qx::net {

inline constexpr std::size_t kCompactStatusSize = 232;
inline constexpr std::uint32_t kStatusFormatMark = 48000;
inline constexpr std::size_t kCompactStatusTracks = 8;
// The format mark and the track count: a datagram without both is no report.
inline constexpr std::size_t kCompactStatusHeader = 8;

// The format mark, or nothing when the datagram is shorter than the header.
std::optional<std::uint32_t> statusFormatMark(std::span<const std::uint8_t> datagram);

// Decodes a report that carries the format mark. Only words inside the
// datagram are read: of the tracks it declares (at most eight), the leading
// ones whose selection word ends within the datagram are decoded, the rest
// left out. Level, pan and feedback words are signed 32-bit values.
std::vector<QXStatusStruct> decodeCompactStatus(std::span<const std::uint8_t> datagram);

}  // namespace qx::net
