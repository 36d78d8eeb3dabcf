#pragma once
// The user's edits of the looper's settings, button mappings and QX2 effect
// banks, and the 0.5 s cycle that sends them: an edit only changes a model;
// at the next tick what differs from the looper's last report goes out. The
// window's pickers and qxctl make the same edits.
#include <cstddef>
#include <cstdint>

#include "common/Outcome.h"
#include "config/SettingsTicks.h"
#include "session/SessionModels.h"
#include "transport/EffectsRequests.h"

namespace qx {

class EditCycle {
public:
    static constexpr int kTickMs = 500;

    EditCycle(SessionModels& models, QXCommandQueue& commands, EffectsRequests& effects);

    // UI thread. Each edit is taken, or refused with the reason. One of the
    // six settings, as MiscConfigStruct names it; a value that cannot travel
    // is taken but never sent.
    Outcome changeSetting(std::int64_t MiscConfigStruct::*field, std::int64_t value);
    // The MIDI button shown: kind value (0, 128, 256) and number 0 to 127;
    // asked for at the next tick.
    Outcome chooseButton(std::int64_t kind, std::int64_t number);
    // Slot 0 to 7 of the button shown.
    Outcome changeButtonSlot(std::size_t slot, std::int64_t function);
    // Bank 1 or 2, slot 0 to 7.
    Outcome changeEffect(int bank, std::size_t slot, std::int64_t function);
    // The kind and number of the button shown (as chosen, or as last pressed).
    std::int64_t buttonKind() const { return button_.midiButtonType; }
    std::int64_t buttonNumber() const { return button_.midiButtonNum; }

    // Asks the looper for what it holds: both settings slices, or one (0 or
    // 72); the mapping of the button shown; the effect banks.
    void askForSettings();
    void askForSettingsSlice(std::uint8_t slice);
    void askForButton();
    void askForEffects();

    // Every 0.5 s on the UI thread: the button tab's cycle, then the settings
    // tab's, then the QX2 tab's.
    void tick();

private:
    SessionModels& models_;
    QXCommandQueue& commands_;
    EffectsRequests& effects_;
    MIDIButtonTick button_;
    MiscConfigTick settings_;
    QX2EffectsTick banks_;
};

}  // namespace qx
