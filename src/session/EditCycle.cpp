#include "session/EditCycle.h"

#include "protocol/Messages.h"

namespace qx {

EditCycle::EditCycle(SessionModels& models, QXCommandQueue& commands, EffectsRequests& effects)
    : models_(models),
      commands_(commands),
      effects_(effects),
      button_(models.button),
      settings_(models.settings),
      banks_(models.effects1, models.effects2, [&effects] { effects.requestWrite(); })
{
}

void EditCycle::changeSetting(std::int64_t MiscConfigStruct::*field, std::int64_t value)
{
    models_.settings->currentConfig.*field = value;
}

void EditCycle::chooseButton(std::int64_t kind, std::int64_t number)
{
    button_.midiButtonType = kind;
    button_.midiButtonNum = number;
}

void EditCycle::changeButtonSlot(std::size_t slot, std::int64_t function)
{
    if (slot < models_.button->effects.size()) models_.button->effects[slot].setEffectNum(function);
}

void EditCycle::changeEffect(int bank, std::size_t slot, std::int64_t function)
{
    QX2Effects& effects = *(bank == 1 ? models_.effects1 : models_.effects2);
    if (slot < effects.effects.size()) effects.effects[slot].setEffectNum(function);
}

void EditCycle::askForSettings()
{
    askForSettingsSlice(msg::kSlice0);
    askForSettingsSlice(msg::kSlice72);
}

void EditCycle::askForSettingsSlice(std::uint8_t slice) { commands_.enqueue(msg::settingsSliceRequest(slice)); }

// Forgets the looper's values for it until the new report comes.
void EditCycle::askForButton() { models_.button->selectButton(button_.midiButtonType, button_.midiButtonNum); }

void EditCycle::askForEffects() { effects_.requestRead(); }

void EditCycle::tick()
{
    button_.tick();
    settings_.tick();
    banks_.tick();
}

}  // namespace qx
