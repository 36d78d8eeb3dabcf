#pragma once
// What a configuration transfer reads from the looper: the mapping of every
// MIDI button and the two QX2 effect banks.
#include <array>
#include <cstddef>
#include <cstdint>

#include "config/QXEffect.h"
#include "protocol/ConfigReports.h"

namespace qx {

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
