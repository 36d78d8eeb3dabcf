#pragma once
// What the looper sends, built byte by byte the way it sends it, so the window
// tests do not lean on the panel's own encoders.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/Bytes.h"

namespace qx::apptest {

inline Bytes bytes(std::initializer_list<int> values)
{
    Bytes out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

inline Bytes envelope(std::uint8_t type) { return bytes({0xF0, 0x00, 0x02, 0x33, type}); }

// A count in five 7-bit groups, lowest first.
inline void appendCount(Bytes& out, std::int64_t value)
{
    for (int group = 0; group < 5; ++group) out.push_back(static_cast<std::uint8_t>((value >> (7 * group)) & 0x7F));
}

// A function number in a 7-bit pair, high group first; -1 is 0x7F 0x7F.
inline void appendPair(Bytes& out, std::int64_t value)
{
    const std::int64_t v = value < 0 ? 16383 : value;
    out.push_back(static_cast<std::uint8_t>(v / 128));
    out.push_back(static_cast<std::uint8_t>(v % 128));
}

struct TrackBlock {
    int state = 0;
    int level = 0;  // sent as its negation: a level of 6 shows as -6
    int pan = 0;
    int feedback = 0;
    std::int64_t lengthSamples = 0;
    std::int64_t positionSamples = 0;
};

// A 64-byte status report for tracks 1 to 4; selected is 1-based, 0 for none.
inline Bytes statusReport(int selected, const std::vector<TrackBlock>& blocks)
{
    Bytes out = envelope(0x02);
    out.push_back(4);
    out.push_back(static_cast<std::uint8_t>(selected));
    for (std::size_t t = 0; t < 4; ++t) {
        const TrackBlock block = t < blocks.size() ? blocks[t] : TrackBlock{};
        out.push_back(static_cast<std::uint8_t>(block.state));
        out.push_back(static_cast<std::uint8_t>(block.level));
        out.push_back(static_cast<std::uint8_t>(block.pan));
        out.push_back(static_cast<std::uint8_t>(block.feedback));
        appendCount(out, block.lengthSamples);
        appendCount(out, block.positionSamples);
    }
    out.push_back(0xF7);
    return out;
}

// The identity line, ended by a zero byte.
inline Bytes informationText(const std::string& text)
{
    Bytes out = envelope(0x17);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0x00);
    out.push_back(0xF7);
    return out;
}

inline Bytes logText(const std::string& text)
{
    Bytes out = envelope(0x03);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0xF7);
    return out;
}

// A pedal press: kind code 0 program change, 1 control change, 2 note.
inline Bytes buttonEvent(int kindCode, int number)
{
    return bytes({0xF0, 0x00, 0x02, 0x33, 0x18, kindCode, number, 0x7F, 0xF7});
}

using Slots = std::array<std::int64_t, 8>;

// The mapping of one button, 25 bytes.
inline Bytes buttonReport(std::int64_t code, const Slots& mapping)
{
    Bytes out = envelope(0x0F);
    appendPair(out, code);
    out.push_back(1);
    for (auto v : mapping) appendPair(out, v);
    out.push_back(0xF7);
    return out;
}

// Both QX2 effect banks, 39 bytes.
inline Bytes effectsReport(const Slots& bank1, const Slots& bank2)
{
    Bytes out = envelope(0x09);
    out.push_back(0x08);
    for (auto v : bank1) appendPair(out, v);
    for (auto v : bank2) appendPair(out, v);
    out.push_back(0xF7);
    return out;
}

// Settings slice 0 (159 bytes) holding the given little-endian words at their
// data offsets: 19 groups of one byte of top bits and seven 7-bit bytes.
inline Bytes settingsSlice0(const std::vector<std::pair<std::size_t, std::uint16_t>>& words)
{
    std::array<std::uint8_t, 133> data{};
    for (const auto& [offset, word] : words) {
        data[offset] = static_cast<std::uint8_t>(word & 0xFF);
        data[offset + 1] = static_cast<std::uint8_t>(word >> 8);
    }
    Bytes out = envelope(0x15);
    out.push_back(0);
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
// Where slice 0 keeps each setting.
inline constexpr std::size_t kDisplayTypeWord = 52;
inline constexpr std::size_t kBrightnessWord = 56;
inline constexpr std::size_t kNoiseGateWord = 86;
inline constexpr std::size_t kMidiChannelWord = 94;

}  // namespace qx::apptest
