#pragma once
// The "MIDI" menu: "All ports", then each MIDI device present, one of them
// checked. A choice restricts the session's MIDI to that device from now on
// and is remembered for the next start. A remembered device that is not
// plugged in stays listed, checked, so the user sees what is chosen.
#include <string>

#include <QMenu>

#include "app/ModelSubscription.h"
#include "session/LooperSession.h"

class QActionGroup;

namespace qx::app {

class MidiMenu : public QMenu {
    Q_OBJECT
public:
    static constexpr const char* kAllPorts = "All ports";

    explicit MidiMenu(LooperSession& session, QWidget* parent = nullptr);

    // The device chosen (empty: all ports).
    const std::string& chosen() const { return chosen_; }

private:
    void rebuild();
    void choose(const std::string& device);

    LooperSession& session_;
    QActionGroup* group_ = nullptr;
    std::string chosen_;
    ModelSubscription devicesSubscription_;
};

}  // namespace qx::app
