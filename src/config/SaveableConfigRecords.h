#pragma once
// What a configuration transfer reads from the looper: the mapping of every
// MIDI button and the two QX2 effect banks.
#include <array>
#include <cstddef>
#include <cstdint>

#include "config/QXEffect.h"

namespace qx {

// Button codes: program change 0..127, control change 128..255, note 256..383.
inline constexpr std::size_t kButtonCodes = 384;

struct QXButtonConfig {
    std::array<std::int64_t, 8> effects{};  // slot 0 first; -1 = no function
    bool valid = false;                      // the looper's values arrived in this transfer
};

struct QX2EffectsConfig {
    FunctionValues effects1;  // eight numbers, or empty before an effects report
    FunctionValues effects2;
    bool valid = false;
};

using ButtonConfigs = std::array<QXButtonConfig, kButtonCodes>;

}  // namespace qx
