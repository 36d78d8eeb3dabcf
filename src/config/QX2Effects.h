#pragma once
// One QX2 effect bank: eight slots and the values the looper last reported.
#include "config/QXEffect.h"

namespace qx {

class QX2Effects {
public:
    EffectSlots effects;
    FunctionValues oldvalues;  // empty until the first effects report

    // Takes exactly eight values as the looper's; anything else is ignored.
    void applyValues(const FunctionValues& values)
    {
        if (setSlots(effects, values)) oldvalues = values;
    }
    bool hasChanges() const { return slotsDiffer(effects, oldvalues); }
};

}  // namespace qx
