#pragma once
// The 0.5 s edit cycles of the three settings tabs, without any widget: the
// session ticks them, and the tests step them by hand.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

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

// "QX2 Buttons": while a bank differs from what the looper last reported,
// writes both banks, then on the next tick asks for them; the report that
// matches ends it. Three writes in a row unconfirmed: it stops and tells the
// user, and waits for the next pick.
class QX2EffectsTick {
public:
    static constexpr int kWritesBeforeGivingUp = 3;
    struct Requests {
        std::function<void()> write, read;
        std::function<void()> unconfirmed;  // told once when it gives up
    };
    QX2EffectsTick(std::shared_ptr<QX2Effects> bank1, std::shared_ptr<QX2Effects> bank2, Requests requests)
        : bank1_(std::move(bank1)), bank2_(std::move(bank2)), requests_(std::move(requests)) {}
    void tick();

private:
    std::shared_ptr<QX2Effects> bank1_, bank2_;
    Requests requests_;
    int writes_ = 0;
    bool readOwed_ = false;
    // The picks it gave up on; a new pick starts over.
    std::optional<std::array<std::int64_t, 16>> givenUp_;
};

}  // namespace qx
