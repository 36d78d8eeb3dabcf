#pragma once
// Compact status reports as the looper sends them: format mark, track count,
// then seven arrays of eight big-endian words.
#include <cstdint>

#include "common/Bytes.h"

namespace qx::test {

enum ReportArray { State, Length, Position, Level, Pan, Feedback, Selection };

struct CompactReport {
    Bytes bytes = Bytes(232, 0);

    explicit CompactReport(std::uint32_t tracks, std::uint32_t mark = 48000) { word(0, mark).word(4, tracks); }
    CompactReport& word(std::size_t at, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
        return *this;
    }
    CompactReport& set(ReportArray array, int track, std::uint32_t value) { return word(8 + 32 * array + 4 * track, value); }
    Bytes resized(std::size_t size) const
    {
        Bytes out = bytes;
        out.resize(size, 0);
        return out;
    }
};

}  // namespace qx::test
