#include "session/EditCycle.h"

#include "protocol/Messages.h"

namespace qx {

EditCycle::EditCycle(SessionModels& models, QXCommandQueue& commands, EffectsRequests& effects)
    : models_(models),
      commands_(commands),
      effects_(effects),
      button_(models.button),
      settings_(models.settings),
      banks_(models.effects1, models.effects2,
             {.write = [&effects] { effects.requestWrite(); },
              .read = [&effects] { effects.requestRead(); },
              .unconfirmed = [outcome = models.outcome] {
                  outcome->set({false, "The looper did not confirm the QX2 banks"});
              }})
{
}

namespace {

const Outcome kTaken{true, {}};

Outcome noSlot(std::size_t slot) { return {false, "No slot " + std::to_string(slot) + ": slots are 0 to 7"}; }

}  // namespace

Outcome EditCycle::changeSetting(std::int64_t MiscConfigStruct::*field, std::int64_t value)
{
    models_.settings->currentConfig.*field = value;
    return kTaken;
}

Outcome EditCycle::chooseButton(std::int64_t kind, std::int64_t number)
{
    if (kind != 0 && kind != 128 && kind != 256) return {false, "No button kind " + std::to_string(kind)};
    if (number < 0 || number > 127) return {false, "No button " + std::to_string(number) + ": numbers are 0 to 127"};
    button_.midiButtonType = kind;
    button_.midiButtonNum = number;
    return kTaken;
}

Outcome EditCycle::changeButtonSlot(std::size_t slot, std::int64_t function)
{
    if (slot >= models_.button->effects.size()) return noSlot(slot);
    models_.button->effects[slot].setEffectNum(function);
    return kTaken;
}

Outcome EditCycle::changeEffect(int bank, std::size_t slot, std::int64_t function)
{
    if (bank != 1 && bank != 2) return {false, "No bank " + std::to_string(bank) + ": banks are 1 and 2"};
    QX2Effects& effects = *(bank == 1 ? models_.effects1 : models_.effects2);
    if (slot >= effects.effects.size()) return noSlot(slot);
    effects.effects[slot].setEffectNum(function);
    return kTaken;
}

void EditCycle::askForSettings()
{
    askForSettingsSlice(msg::kSlice0);
    askForSettingsSlice(msg::kSlice72);
}

void EditCycle::askForSettingsSlice(std::uint8_t slice) { commands_.enqueue(msg::settingsSliceRequest(slice)); }

// Forgets the looper's values for it until the new report comes.
void EditCycle::askForButton() { models_.button->askAgain(); }

void EditCycle::askForEffects() { effects_.requestRead(); }

void EditCycle::tick()
{
    button_.tick();
    settings_.tick();
    banks_.tick();
}

}  // namespace qx
