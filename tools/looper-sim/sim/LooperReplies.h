#pragma once
// The SysEx messages the looper sends: each in the looper's envelope
// (0xF0 0x00 0x02 0x33, type, data bytes below 0x80, 0xF7).
#include <cstdint>
#include <span>
#include <string_view>

#include "common/Bytes.h"
#include "sim/ButtonMappings.h"
#include "sim/SettingsMemory.h"
#include "sim/TrackDeck.h"

namespace qx::sim::reply {

// 64 bytes: track count, selected track (1-based, 0 for none), then blocks of
// 14 bytes for the first four tracks (state, level, pan, feedback, length and
// position as five-group counts). Missing tracks give empty blocks.
Bytes statusReport(int trackCount, int selected, std::span<const SimTrack> tracks);
// Type 0x03: the text, then 0xF7. Bytes of 0x80 and above cannot travel in a
// SysEx message and become '?'.
Bytes logText(std::string_view text);
// Type 0x17: the identity text, a zero byte, then 0xF7.
Bytes informationText(std::string_view identity);
// Type 0x15, 159 bytes: slice number, then the 133 bytes in 19 packed groups.
Bytes settingsSlice(std::uint8_t number, const SliceData& data);
// Type 0x0F: first button code as a 7-bit pair, button count, then eight
// 7-bit pairs per button (25 bytes for one button, 137 for eight).
Bytes buttonReport(int firstCode, std::span<const FunctionSlots> buttons);
// Type 0x09, 39 bytes: 0x08, then bank 1 and bank 2 as 7-bit pairs.
Bytes effectsReport(const EffectBanks& banks);
// Type 0x18, 9 bytes: kind code, button number, 0x00.
Bytes buttonEvent(std::uint8_t kindCode, std::uint8_t number);

}  // namespace qx::sim::reply
