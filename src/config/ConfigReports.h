#pragma once
// Decoding the replies a configuration transfer waits for: the eight-button
// mapping report (type 0x0F, 137 bytes) and the effects report (type 0x09,
// 39 bytes). Both read only inside the message they are given.
#include <cstddef>
#include <cstdint>
#include <span>

#include "config/SaveableConfigRecords.h"

namespace qx {

// A mapping report with first code (offset 5, 6), count c (offset 7) and eight
// 7-bit pairs per button from offset 8. Fills the c buttons and marks them
// valid; a report with c = 0, or one whose slots would reach its closing byte
// or a code past 383, changes nothing. Returns how many buttons became valid
// that were not valid before.
std::size_t takeButtonBlockReport(std::span<const std::uint8_t> message, ButtonConfigs& buttons);

// An effects report of at least 39 bytes: bank 1 from offset 6, bank 2 from
// offset 22, eight 7-bit pairs each. Returns false (and changes nothing) for a
// shorter one.
bool parseEffectsReport(std::span<const std::uint8_t> message, QX2EffectsConfig& banks);

}  // namespace qx
