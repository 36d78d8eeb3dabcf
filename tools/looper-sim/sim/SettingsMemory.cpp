#include "sim/SettingsMemory.h"

#include "protocol/Messages.h"

namespace qx::sim {
namespace {

// Bytes below and above 0x80 alike, so the packing of the report is exercised.
SliceData filler(std::uint8_t seed)
{
    SliceData data{};
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>((i * 37 + seed) & 0xFF);
    return data;
}

}  // namespace

SettingsMemory::SettingsMemory() : slice0_(filler(11)), slice72_(filler(72))
{
    setWord(slice0_, kDisplayTypeWord, 0);
    setWord(slice0_, kMidiInClockWord, 0);
    setWord(slice0_, kBrightnessWord, 3);
    setWord(slice0_, kNoiseGateWord, 10);
    setWord(slice0_, kMidiChannelWord, 1);
    setWord(slice72_, kMidiOutClockWord, 0);
}

SliceData SettingsMemory::slice(std::uint8_t number) const
{
    if (number == kSettingsSlice) return slice0_;
    if (number == kClockSlice) return slice72_;
    return SliceData{};
}

bool SettingsMemory::applyWrite(std::uint8_t type, std::uint8_t value)
{
    switch (type) {
    case msg::kMidiChannelWrite: setWord(slice0_, kMidiChannelWord, value); return true;
    case msg::kNoiseGateWrite: setWord(slice0_, kNoiseGateWord, value); return true;
    case msg::kBrightnessWrite: setWord(slice0_, kBrightnessWord, value); return true;
    case msg::kDisplayTypeWrite: setWord(slice0_, kDisplayTypeWord, value); return true;
    case msg::kClockModeWrite:
        // One type for both clocks: 1/2 set the outgoing clock off/on, 3/4 set
        // the incoming clock to ignore/allow.
        switch (value) {
        case 1: setWord(slice72_, kMidiOutClockWord, 0); return true;
        case 2: setWord(slice72_, kMidiOutClockWord, 1); return true;
        case 3: setWord(slice0_, kMidiInClockWord, 1); return true;
        case 4: setWord(slice0_, kMidiInClockWord, 0); return true;
        default: return false;
        }
    default: return false;
    }
}

MiscSettings SettingsMemory::values() const
{
    return MiscSettings{
        .qx2DisplayType = word(slice0_, kDisplayTypeWord),
        .midiInClockMode = word(slice0_, kMidiInClockWord),
        .qx2Brightness = word(slice0_, kBrightnessWord),
        .noiseGateLevel = word(slice0_, kNoiseGateWord),
        .midiChannel = word(slice0_, kMidiChannelWord),
        .midiOutClockMode = word(slice72_, kMidiOutClockWord),
    };
}

std::uint16_t SettingsMemory::word(const SliceData& data, std::size_t offset)
{
    return static_cast<std::uint16_t>(data[offset] | (data[offset + 1] << 8));
}

void SettingsMemory::setWord(SliceData& data, std::size_t offset, std::uint16_t value)
{
    data[offset] = static_cast<std::uint8_t>(value & 0xFF);
    data[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace qx::sim
