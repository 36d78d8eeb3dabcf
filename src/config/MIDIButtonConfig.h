#pragma once
// The mapping of the MIDI button shown on the button tab: eight slots, which
// button they belong to, what the looper last reported for it, and a button
// event waiting to be taken by the tab.
#include <cstdint>

#include "common/QXCommandQueue.h"
#include "config/QXEffect.h"

namespace qx {

class MIDIButtonConfig {
public:
    explicit MIDIButtonConfig(QXCommandQueue& commands) : commands_(commands) {}

    EffectSlots effects;
    FunctionValues oldvalues;  // empty until a report for currentBtn is taken
    std::int64_t currentBtn = -1;
    std::int64_t receivedBtnType = -1;
    std::int64_t receivedBtnNum = -1;

    // Makes type + number the button shown and asks the looper for its mapping.
    // Edits made before that button's report arrives are not written to it.
    void selectButton(std::int64_t type, std::int64_t number);
    // Asks again for the button shown, if any, as selectButton does.
    void askAgain();
    // Writes the shown mapping back when a slot differs from the looper's.
    void sendIfChanged();
    // Takes a one-button report: only for the button shown, only 8 values.
    void applyMapping(std::int64_t code, const FunctionValues& values);
    // A button event from the looper, for the tab's next tick.
    void receiveButtonEvent(std::int64_t kindValue, std::int64_t number);

private:
    QXCommandQueue& commands_;
};

}  // namespace qx
