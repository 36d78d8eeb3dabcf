#pragma once
// The "Misc Config" tab: six pickers bound to the looper's miscellaneous
// settings. A pick only edits the model; at each tick of the session's edit
// cycle what changed is sent and the pickers show the model again (values the
// looper reported arrive this way).
#include <QWidget>

#include "session/LooperSession.h"

namespace qx::app {

class OptionPicker;

class MiscConfigView : public QWidget {
    Q_OBJECT
public:
    explicit MiscConfigView(LooperSession& session, QWidget* parent = nullptr);

    OptionPicker* brightnessPicker() const { return brightness_; }
    OptionPicker* displayModePicker() const { return displayMode_; }
    OptionPicker* midiInClockPicker() const { return midiInClock_; }
    OptionPicker* midiOutClockPicker() const { return midiOutClock_; }
    OptionPicker* midiChannelPicker() const { return midiChannel_; }
    OptionPicker* noiseGatePicker() const { return noiseGate_; }

    // Shows the model's values.
    void refresh();

private:
    const MiscConfigModel& model_;
    OptionPicker* brightness_ = nullptr;
    OptionPicker* displayMode_ = nullptr;
    OptionPicker* midiInClock_ = nullptr;
    OptionPicker* midiOutClock_ = nullptr;
    OptionPicker* midiChannel_ = nullptr;
    OptionPicker* noiseGate_ = nullptr;
};

}  // namespace qx::app
