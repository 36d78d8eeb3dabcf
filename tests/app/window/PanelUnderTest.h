#pragma once
// The whole window over a session whose links never start (see
// SessionUnderTest); the file dialogs answer from a list. The looper's
// messages come from the simulated looper's reply builders.
//
// Include this before any Qt header: the simulator's headers use `slots` as a
// name, which Qt defines as a macro.
#include "sim/LooperReplies.h"

#include <deque>

#include <QtTest>
#include <QtWidgets>

#include "app/ContentView.h"
#include "app/LogView.h"
#include "app/MIDIButtonView.h"
#include "app/MainWindow.h"
#include "app/MiscConfigView.h"
#include "app/OptionPicker.h"
#include "app/PanelStatusBar.h"
#include "app/QX2EffectsView.h"
#include "app/TrackGrid.h"
#include "support/Hex.h"
#include "support/SessionUnderTest.h"

namespace qx::apptest {

using test::hex;

// The user at the file dialogs: each answers with the next queued path (none
// queued: the user cancels), and every dialog asked is written down in order.
class ScriptedDialogs final : public app::FileDialogs {
public:
    std::optional<std::string> chooseFileToOpen(const std::string&) override { return answer("open dialog"); }
    std::optional<std::string> chooseFileToSave(const std::string&, const std::string& name) override
    {
        return answer("save dialog " + name);
    }

    std::deque<std::string> answers;
    std::vector<std::string> asked;

private:
    std::optional<std::string> answer(std::string dialog)
    {
        asked.push_back(std::move(dialog));
        if (answers.empty()) return std::nullopt;
        std::string path = answers.front();
        answers.pop_front();
        return path;
    }
};

// The window goes first, the session and its queue after it.
struct PanelUnderTest : test::SessionUnderTest {
    PanelUnderTest() : window(std::make_unique<app::MainWindow>(session, dialogs)) {}

    ScriptedDialogs dialogs;
    std::unique_ptr<app::MainWindow> window;
};

// What a choice from the pop-up does: the row changes and activated fires.
inline bool userPicks(QComboBox* picker, const QString& text)
{
    const int index = picker->findText(text);
    if (index < 0) return false;
    picker->setCurrentIndex(index);
    emit picker->activated(index);
    return true;
}

}  // namespace qx::apptest
