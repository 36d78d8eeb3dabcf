#include "config/QXEffect.h"

namespace qx {

std::array<std::int64_t, 8> slotValues(const EffectSlots& slots)
{
    std::array<std::int64_t, 8> values{};
    for (std::size_t i = 0; i < slots.size(); ++i) values[i] = slots[i].effectNum();
    return values;
}

bool setSlots(EffectSlots& slots, const FunctionValues& values)
{
    if (values.size() != slots.size()) return false;
    for (std::size_t i = 0; i < slots.size(); ++i) slots[i].setEffectNum(values[i]);
    return true;
}

bool slotsDiffer(const EffectSlots& slots, const FunctionValues& oldvalues)
{
    if (oldvalues.size() != slots.size()) return false;
    for (std::size_t i = 0; i < slots.size(); ++i)
        if (slots[i].effectNum() != oldvalues[i]) return true;
    return false;
}

}  // namespace qx
