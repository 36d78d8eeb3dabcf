#include "sim/ButtonMappings.h"

namespace qx::sim {
namespace {

// Function numbers the looper knows, low and high ("QX2 ..." from 2000 up).
constexpr std::int64_t kFunctions[] = {0,  1,  13, 14,  15,  16,  17,  18,  19,   27,   35,   47,   56,  60,
                                       81, 100, 101, 104, 124, 126, 2007, 2008, 2016, 2100, 2101, 2102, 2103};
constexpr std::size_t kFunctionCount = std::size(kFunctions);

std::int64_t function(std::size_t index) { return kFunctions[index % kFunctionCount]; }

}  // namespace

FunctionSlots initialMapping(int code)
{
    FunctionSlots slots;
    slots.fill(-1);
    const auto c = static_cast<std::size_t>(code);
    if (c % 5 != 4) slots[0] = function(c);
    if (c % 3 == 0) slots[1] = function(c * 7 + 3);
    if (c % 8 == 1) slots[2] = function(c / 8);
    if (c % 64 == 0) slots[7] = 2103;
    return slots;
}

ButtonMappings::ButtonMappings()
{
    for (int code = 0; code < kButtonCodes; ++code) slots_[static_cast<std::size_t>(code)] = initialMapping(code);
}

EffectBanks EffectBanks::initial()
{
    return EffectBanks{
        .bank1 = {0, 1, 16, 15, 81, 126, -1, 2100},
        .bank2 = {2103, 2008, -1, -1, 14, 13, 60, 47},
    };
}

}  // namespace qx::sim
