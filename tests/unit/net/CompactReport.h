#pragma once
// Builds compact status reports as the looper sends them: big-endian words,
// format mark, track count, seven arrays of eight words.
#include <cstdint>
#include <cstddef>

#include "common/Bytes.h"

namespace qx::test {

struct CompactReport {
    Bytes bytes = Bytes(232, 0);

    explicit CompactReport(std::uint32_t tracks, std::uint32_t mark = 48000)
    {
        word(0, mark);
        word(4, tracks);
    }
    CompactReport& word(std::size_t offset, std::uint32_t value)
    {
        bytes[offset] = static_cast<std::uint8_t>(value >> 24);
        bytes[offset + 1] = static_cast<std::uint8_t>(value >> 16);
        bytes[offset + 2] = static_cast<std::uint8_t>(value >> 8);
        bytes[offset + 3] = static_cast<std::uint8_t>(value);
        return *this;
    }
    CompactReport& state(int track, std::uint32_t v) { return word(8 + 4 * track, v); }
    CompactReport& length(int track, std::uint32_t v) { return word(40 + 4 * track, v); }
    CompactReport& position(int track, std::uint32_t v) { return word(72 + 4 * track, v); }
    CompactReport& level(int track, std::uint32_t v) { return word(104 + 4 * track, v); }
    CompactReport& pan(int track, std::uint32_t v) { return word(136 + 4 * track, v); }
    CompactReport& feedback(int track, std::uint32_t v) { return word(168 + 4 * track, v); }
    CompactReport& selection(int track, std::uint32_t v) { return word(200 + 4 * track, v); }
    Bytes resized(std::size_t size) const
    {
        Bytes out = bytes;
        out.resize(size, 0);
        return out;
    }
};

}  // namespace qx::test
