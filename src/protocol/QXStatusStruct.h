#pragma once
// One track's status as both links decode it: the MIDI report's bytes and the
// network report's 32-bit words end in the same signed values, so nothing
// after the decoder knows which link a report came by.
#include <cstdint>

namespace qx {

struct QXStatusStruct {
    std::int64_t length = 0;    // loop length in samples (48,000 per second)
    std::int64_t position = 0;  // play position in samples
    std::uint8_t status = 0;    // track state code
    std::int32_t level = 0;
    std::int32_t pan = 0;
    std::int32_t feedback = 0;
    bool selected = false;

    bool operator==(const QXStatusStruct&) const = default;
};

}  // namespace qx
