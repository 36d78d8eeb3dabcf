#pragma once
// The "MIDI Button" tab: which MIDI button (kind and number) is shown, and the
// eight functions it triggers. Picks only edit; every 0.5 s the tick takes a
// button event from the looper, writes an edited mapping, asks for the mapping
// of a newly chosen button, and the pickers show the result.
#include <array>
#include <memory>

#include <QTimer>
#include <QWidget>

#include "config/SettingsTicks.h"
#include "midi/QXInterface.h"

namespace qx::app {

class OptionPicker;

class MIDIButtonView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTickMs = 500;

    // Creates the button model and stores it in the link.
    explicit MIDIButtonView(QXInterface& link, QWidget* parent = nullptr);

    MIDIButtonConfig& model() { return *model_; }
    MIDIButtonTick& tickState() { return tick_; }
    OptionPicker* typePicker() const { return type_; }
    OptionPicker* numberPicker() const { return number_; }
    OptionPicker* functionPicker(std::size_t slot) const { return functions_.at(slot); }
    const QTimer& timer() const { return timer_; }

public slots:
    void tick();

private:
    void refresh();

    std::shared_ptr<MIDIButtonConfig> model_;
    MIDIButtonTick tick_;
    OptionPicker* type_ = nullptr;
    OptionPicker* number_ = nullptr;
    std::array<OptionPicker*, 8> functions_{};
    QTimer timer_;
};

}  // namespace qx::app
