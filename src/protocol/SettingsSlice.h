#pragma once
// A settings slice report: a slice number and 133 data bytes of the looper's
// configuration memory, carried in packed groups. Slice 0 holds five of the
// miscellaneous settings, slice 72 the outgoing clock mode.
#include <cstdint>
#include <optional>
#include <span>

#include "common/Bytes.h"

namespace qx {

struct SettingsSlice {
    std::int64_t sliceNum = -1;
    Bytes decodedBytes;
    // Little-endian word at data offset k, or 0 when byte k + 1 does not exist.
    std::int64_t valueAt(std::size_t k) const
    {
        if (k + 1 >= decodedBytes.size()) return 0;
        return decodedBytes[k] + 256 * std::int64_t{decodedBytes[k + 1]};
    }
};

SettingsSlice decodeSettingsSlice(std::span<const std::uint8_t> message);

// What one slice report says of the settings; a setting it does not carry is empty.
struct SettingsReport {
    std::int64_t slice = -1;
    std::optional<std::int64_t> brightness, displayType, inClockMode, outClockMode, midiChannel, noiseGate;
};

SettingsReport decodeSettingsReport(std::span<const std::uint8_t> message);

}  // namespace qx
