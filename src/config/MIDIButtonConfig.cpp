#include "config/MIDIButtonConfig.h"

#include "protocol/Messages.h"

namespace qx {

void MIDIButtonConfig::selectButton(std::int64_t type, std::int64_t number)
{
    currentBtn = type + number;
    // Until the new button's report arrives the slots still show the previous
    // button; forgetting its values keeps those from being written to this one.
    oldvalues.clear();
    commands_.enqueue(msg::buttonMappingRequest(currentBtn, 1));
}

void MIDIButtonConfig::askAgain()
{
    if (currentBtn < 0) return;
    oldvalues.clear();
    commands_.enqueue(msg::buttonMappingRequest(currentBtn, 1));
}

void MIDIButtonConfig::sendIfChanged()
{
    if (!slotsDiffer(effects, oldvalues)) return;
    const auto values = slotValues(effects);
    oldvalues.assign(values.begin(), values.end());
    commands_.enqueue(msg::buttonMappingWrite(currentBtn, values));
}

void MIDIButtonConfig::applyMapping(std::int64_t code, const FunctionValues& values)
{
    if (code != currentBtn || values.size() != effects.size()) return;
    setSlots(effects, values);
    oldvalues = values;
}

void MIDIButtonConfig::receiveButtonEvent(std::int64_t kindValue, std::int64_t number)
{
    receivedBtnType = kindValue;
    receivedBtnNum = number;
}

}  // namespace qx
