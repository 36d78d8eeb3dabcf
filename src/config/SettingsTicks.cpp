#include "config/SettingsTicks.h"

namespace qx {

void MIDIButtonTick::tick()
{
    MIDIButtonConfig& model = *model_;
    if (model.receivedBtnNum != -1 && model.receivedBtnType != -1) {
        midiButtonType = model.receivedBtnType;
        midiButtonNum = model.receivedBtnNum;
        model.receivedBtnType = model.receivedBtnNum = -1;
    }
    model.sendIfChanged();
    if (midiButtonNum == oldMBN && midiButtonType == oldMBT) return;
    model.selectButton(midiButtonType, midiButtonNum);
    oldMBN = midiButtonNum;
    oldMBT = midiButtonType;
}

void QX2EffectsTick::tick()
{
    std::array<std::int64_t, 16> picks{};
    const auto first = slotValues(bank1_->effects), second = slotValues(bank2_->effects);
    std::copy(first.begin(), first.end(), picks.begin());
    std::copy(second.begin(), second.end(), picks.begin() + 8);
    if (!bank1_->hasChanges() && !bank2_->hasChanges()) {
        writes_ = 0;
        readOwed_ = false;
        givenUp_.reset();
        return;
    }
    if (givenUp_ == picks) return;
    if (givenUp_) writes_ = 0;  // picked again
    givenUp_.reset();
    if (readOwed_) {
        readOwed_ = false;
        requests_.read();
    } else if (writes_ == kWritesBeforeGivingUp) {
        givenUp_ = picks;
        requests_.unconfirmed();
    } else {
        ++writes_;
        readOwed_ = true;
        requests_.write();
    }
}

}  // namespace qx
