#pragma once
// One track's decoded status, produced by both links.
#include <cstdint>

namespace qx {

struct QXStatusStruct {
    std::int64_t length = 0;    // loop length in samples (48,000 per second)
    std::int64_t position = 0;  // play position in samples
    std::uint8_t status = 0;    // track state code
    std::int64_t level = 0;
    std::int64_t pan = 0;
    std::int64_t feedback = 0;
    bool selected = false;

    bool operator==(const QXStatusStruct&) const = default;
};

}  // namespace qx
