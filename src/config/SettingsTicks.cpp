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
    if (bank1_->hasChanges()) request_();
    if (bank2_->hasChanges()) request_();
}

}  // namespace qx
