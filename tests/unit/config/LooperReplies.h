#pragma once
// The looper's side of the configuration messages, built byte by byte the way
// the looper sends them, so the tests do not lean on the panel's own encoders.
#include <array>
#include <cstdint>
#include <initializer_list>

#include "common/Bytes.h"

namespace qx::test {

using Slots = std::array<std::int64_t, 8>;

inline Bytes bytes(std::initializer_list<int> values)
{
    Bytes out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

// -1 (no function) travels as 0x7F 0x7F.
inline void appendPair(Bytes& out, std::int64_t value)
{
    const std::int64_t v = value < 0 ? 16383 : value;
    out.push_back(static_cast<std::uint8_t>(v / 128));
    out.push_back(static_cast<std::uint8_t>(v % 128));
}

inline Bytes envelope(std::uint8_t type) { return bytes({0xF0, 0x00, 0x02, 0x33, type}); }

// One-button mapping report, 25 bytes.
inline Bytes buttonReport(std::int64_t code, const Slots& slots)
{
    Bytes out = envelope(0x0F);
    appendPair(out, code);
    out.push_back(1);
    for (auto v : slots) appendPair(out, v);
    out.push_back(0xF7);
    return out;
}

// Effects report, 39 bytes; byte 5 is not interpreted by the panel.
inline Bytes effectsReport(const Slots& bank1, const Slots& bank2)
{
    Bytes out = envelope(0x09);
    out.push_back(0x08);
    for (auto v : bank1) appendPair(out, v);
    for (auto v : bank2) appendPair(out, v);
    out.push_back(0xF7);
    return out;
}

inline Bytes buttonEvent(int kindCode, int number)
{
    return bytes({0xF0, 0x00, 0x02, 0x33, 0x18, kindCode, number, 0x7F, 0xF7});
}

// 133 bytes of configuration memory.
using SliceData = std::array<std::uint8_t, 133>;

inline void putWord(SliceData& data, std::size_t offset, std::uint16_t word)
{
    data[offset] = static_cast<std::uint8_t>(word & 0xFF);
    data[offset + 1] = static_cast<std::uint8_t>(word >> 8);
}

// Settings slice report, 159 bytes: 19 groups of one byte of top bits (bit 6
// for the group's first data byte) and seven 7-bit data bytes.
inline Bytes sliceReport(std::uint8_t slice, const SliceData& data)
{
    Bytes out = envelope(0x15);
    out.push_back(slice);
    for (std::size_t group = 0; group < 19; ++group) {
        std::uint8_t top = 0;
        for (std::size_t j = 0; j < 7; ++j)
            if (data[group * 7 + j] & 0x80) top = static_cast<std::uint8_t>(top | (0x40 >> j));
        out.push_back(top);
        for (std::size_t j = 0; j < 7; ++j) out.push_back(data[group * 7 + j] & 0x7F);
    }
    out.push_back(0xF7);
    return out;
}

}  // namespace qx::test
