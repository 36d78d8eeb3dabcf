#pragma once
// Builders for every message the panel sends to the looper, and the type
// bytes of both directions.
#include <array>
#include <cstdint>

#include "common/Bytes.h"

namespace qx::msg {

enum Type : std::uint8_t {
    kStatus = 0x02,          // request 6 bytes / report 63+ bytes
    kLog = 0x03,             // request / log text
    kMidiChannelWrite = 0x05,
    kNoiseGateWrite = 0x06,
    kBrightnessWrite = 0x07,
    kClockModeWrite = 0x08,
    kEffects = 0x09,         // request / report
    kEffectsWrite = 0x0A,
    kDisplayTypeWrite = 0x0C,
    kButtonRequest = 0x0E,
    kButtonReport = 0x0F,
    kButtonWrite = 0x10,
    kSliceRequest = 0x14,
    kSliceReport = 0x15,
    kInfoRequest = 0x16,
    kInfoText = 0x17,
    kButtonEvent = 0x18,
};

using Bank = std::array<std::int64_t, 8>;

Bytes statusRequest();
Bytes logRequest();
Bytes effectsRequest();
Bytes informationRequest();
Bytes settingsSliceRequest(std::uint8_t slice);  // slices 0 and 72
// A one-byte settings write (types 0x05, 0x06, 0x07, 0x08, 0x0C).
Bytes settingWrite(std::uint8_t type, std::uint8_t value);
Bytes effectsWrite(const Bank& bank1, const Bank& bank2);
Bytes buttonMappingRequest(std::int64_t firstCode, std::uint8_t count);
Bytes buttonMappingWrite(std::int64_t code, const Bank& functions);

inline constexpr std::uint8_t kSlice0 = 0;
inline constexpr std::uint8_t kSlice72 = 72;

}  // namespace qx::msg
