#pragma once
// The looper answers a status request with a 64-byte report: track count,
// selected track (1-based) and four track blocks of 14 bytes.
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/QXStatusStruct.h"

namespace qx {

// Shorter than this, a message of the status type is no report.
inline constexpr std::size_t kStatusReportLength = 63;

// The four tracks of a report of at least 63 bytes; none for a shorter one.
std::vector<QXStatusStruct> decodeStatusReport(std::span<const std::uint8_t> message);

}  // namespace qx
