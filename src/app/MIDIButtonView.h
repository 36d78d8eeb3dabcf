#pragma once
// The "MIDI Button" tab: which MIDI button (kind and number) is shown, and the
// eight functions it triggers. Picks only edit; at each tick of the session's
// edit cycle a button event from the looper is taken, an edited mapping
// written, a newly chosen button asked for, and the pickers show the result.
#include <array>

#include <QWidget>

#include "session/LooperSession.h"

namespace qx::app {

class OptionPicker;

class MIDIButtonView : public QWidget {
    Q_OBJECT
public:
    explicit MIDIButtonView(LooperSession& session, QWidget* parent = nullptr);

    OptionPicker* typePicker() const { return type_; }
    OptionPicker* numberPicker() const { return number_; }
    OptionPicker* functionPicker(std::size_t slot) const { return functions_.at(slot); }

    // Shows the button and its slots as the session holds them.
    void refresh();

private:
    LooperSession& session_;
    OptionPicker* type_ = nullptr;
    OptionPicker* number_ = nullptr;
    std::array<OptionPicker*, 8> functions_{};
};

}  // namespace qx::app
