#pragma once
// The 64-byte status report: track count, selected track (1-based) and four
// track blocks of 14 bytes.
#include <cstdint>
#include <span>
#include <vector>

#include "model/QXStatusStruct.h"

namespace qx {

inline constexpr std::size_t kStatusReportLength = 63;

struct StatusReport {
    std::int64_t trackCount = 0;
    std::int64_t selectedTrack = 0;
    std::vector<QXStatusStruct> tracks;  // always four
};

// The message must hold at least 63 bytes.
StatusReport decodeStatusReport(std::span<const std::uint8_t> message);

}  // namespace qx
