#pragma once
// The 0.5 s edit cycles of the three settings tabs, without any widget: the
// session ticks them, and the tests step them by hand.
#include <cstdint>
#include <functional>
#include <memory>

#include "config/MIDIButtonConfig.h"
#include "config/MiscConfig.h"
#include "config/QX2Effects.h"

namespace qx {

// "Misc Config": sends the settings the user changed.
class MiscConfigTick {
public:
    explicit MiscConfigTick(std::shared_ptr<MiscConfigModel> model) : model_(std::move(model)) {}
    void tick() { model_->sendChangedSettings(); }

private:
    std::shared_ptr<MiscConfigModel> model_;
};

// "MIDI Button": learns a pressed button, writes edited slots, selects the
// button chosen in the pickers.
class MIDIButtonTick {
public:
    explicit MIDIButtonTick(std::shared_ptr<MIDIButtonConfig> model) : model_(std::move(model)) {}
    void tick();

    // The pickers' state: the chosen kind value and button number.
    std::int64_t midiButtonType = 0;
    std::int64_t midiButtonNum = 0;

private:
    std::shared_ptr<MIDIButtonConfig> model_;
    std::int64_t oldMBT = -1;  // no kind has this value: the first tick selects
    std::int64_t oldMBN = 0;
};

// "QX2 Buttons": raises the effects write request while a bank differs from
// what the looper last reported.
class QX2EffectsTick {
public:
    using WriteRequest = std::function<void()>;
    QX2EffectsTick(std::shared_ptr<QX2Effects> bank1, std::shared_ptr<QX2Effects> bank2, WriteRequest request)
        : bank1_(std::move(bank1)), bank2_(std::move(bank2)), request_(std::move(request)) {}
    void tick();

private:
    std::shared_ptr<QX2Effects> bank1_, bank2_;
    WriteRequest request_;
};

}  // namespace qx
