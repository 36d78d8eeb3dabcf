#pragma once
// The looper's configuration memory as far as the panel sees it: slices 0 and
// 72 of 133 bytes each, in which the six miscellaneous settings are 16-bit
// little-endian words. The other bytes hold a fixed, non-trivial filler so that
// a reader that looks at the wrong offset gets a wrong value.
#include <array>
#include <cstddef>
#include <cstdint>

namespace qx::sim {

inline constexpr std::size_t kSliceBytes = 133;
using SliceData = std::array<std::uint8_t, kSliceBytes>;

// Where each setting lives: slice 0 unless noted.
inline constexpr std::size_t kDisplayTypeWord = 52;
inline constexpr std::size_t kMidiInClockWord = 54;
inline constexpr std::size_t kBrightnessWord = 56;
inline constexpr std::size_t kNoiseGateWord = 86;
inline constexpr std::size_t kMidiChannelWord = 94;
inline constexpr std::size_t kMidiOutClockWord = 98;  // slice 72
inline constexpr std::uint8_t kSettingsSlice = 0;
inline constexpr std::uint8_t kClockSlice = 72;

struct MiscSettings {
    std::int64_t qx2DisplayType = 0;
    std::int64_t midiInClockMode = 0;
    std::int64_t qx2Brightness = 0;
    std::int64_t noiseGateLevel = 0;
    std::int64_t midiChannel = 0;
    std::int64_t midiOutClockMode = 0;
};

class SettingsMemory {
public:
    // Display "Original", clock in "Allow", brightness "Medium", noise gate
    // 10, channel 1, clock out "Off".
    SettingsMemory();

    // The slice's bytes; slices other than 0 and 72 read as zeros.
    SliceData slice(std::uint8_t number) const;
    // A one-byte settings write (types 0x05, 0x06, 0x07, 0x08, 0x0C). False
    // when the type is not one of them or the clock code is not 1 to 4.
    bool applyWrite(std::uint8_t type, std::uint8_t value);
    MiscSettings values() const;

private:
    static std::uint16_t word(const SliceData& data, std::size_t offset);
    static void setWord(SliceData& data, std::size_t offset, std::uint16_t value);

    SliceData slice0_;
    SliceData slice72_;
};

}  // namespace qx::sim
