#pragma once
// The "Misc Config" tab: six pickers bound to the looper's miscellaneous
// settings. A pick only edits the model; every 0.5 s the tick sends what
// changed and the pickers show the model again (values the looper reported
// arrive this way).
#include <memory>

#include <QTimer>
#include <QWidget>

#include "config/SettingsTicks.h"
#include "midi/QXInterface.h"

namespace qx::app {

class OptionPicker;

class MiscConfigView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTickMs = 500;

    // Creates the settings model and stores it in the link.
    explicit MiscConfigView(QXInterface& link, QWidget* parent = nullptr);

    MiscConfigModel& model() { return *model_; }
    OptionPicker* brightnessPicker() const { return brightness_; }
    OptionPicker* displayModePicker() const { return displayMode_; }
    OptionPicker* midiInClockPicker() const { return midiInClock_; }
    OptionPicker* midiOutClockPicker() const { return midiOutClock_; }
    OptionPicker* midiChannelPicker() const { return midiChannel_; }
    OptionPicker* noiseGatePicker() const { return noiseGate_; }
    const QTimer& timer() const { return timer_; }

public slots:
    // Sends the changed settings, then shows the model's values.
    void tick();

private:
    void refresh();

    std::shared_ptr<MiscConfigModel> model_;
    MiscConfigTick tick_;
    OptionPicker* brightness_ = nullptr;
    OptionPicker* displayMode_ = nullptr;
    OptionPicker* midiInClock_ = nullptr;
    OptionPicker* midiOutClock_ = nullptr;
    OptionPicker* midiChannel_ = nullptr;
    OptionPicker* noiseGate_ = nullptr;
    QTimer timer_;
};

}  // namespace qx::app
