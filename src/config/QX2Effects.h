#pragma once
// One QX2 effect bank: eight slots and the values the looper last reported.
// While the user's picks differ from the looper's values, a report updates
// only the looper's values: the picks stay on screen until confirmed.
#include "config/QXEffect.h"

namespace qx {

class QX2Effects {
public:
    EffectSlots effects;
    FunctionValues oldvalues;  // empty until the first effects report

    // Takes exactly eight values as the looper's; anything else is ignored.
    void applyValues(const FunctionValues& values)
    {
        if (values.size() != effects.size()) return;
        if (!hasChanges()) setSlots(effects, values);
        oldvalues = values;
    }
    bool hasChanges() const { return slotsDiffer(effects, oldvalues); }
};

}  // namespace qx
