#pragma once
// The replies a configuration transfer waits for: the eight-button mapping
// report (type 0x0F, 137 bytes) and the effects report (type 0x09, 39 bytes).
// Both read only inside the message they are given.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "protocol/Messages.h"

namespace qx {

// Button codes: program change 0..127, control change 128..255, note 256..383.
inline constexpr std::size_t kButtonCodes = 384;

// A mapping report: first code (offset 5, 6), count c (offset 7) and eight
// 7-bit pairs per button from offset 8.
struct ButtonBlock {
    std::size_t first = 0;
    std::vector<msg::Bank> buttons;
};

// Nothing for a report with c = 0, one whose slots would reach its closing
// byte, or one that names a code past 383: none of it can be trusted.
std::optional<ButtonBlock> decodeButtonBlock(std::span<const std::uint8_t> message);

struct EffectBanks {
    msg::Bank bank1{}, bank2{};
};

// An effects report of at least 39 bytes: bank 1 from offset 6, bank 2 from
// offset 22, eight 7-bit pairs each. Nothing for anything else.
std::optional<EffectBanks> decodeEffectsReport(std::span<const std::uint8_t> message);

}  // namespace qx
