#pragma once
// The whole window over a link whose worker never starts: MIDI goes through a
// test double, the UI-thread hand-offs run when the test drains them, and file
// dialogs and configuration commands answer from lists. The looper's messages
// come from the simulated looper's reply builders.
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
#include "support/FakeMidiEndpoints.h"
#include "support/Hex.h"

namespace qx::apptest {

using test::hex;

// Stands in for the user at the file dialogs and for the configuration
// transfer: each dialog answers with the next queued path (none queued: the
// user cancels), and every dialog and command is written down in order.
class ScriptedDialogsAndCommands final : public app::FileDialogs, public app::ConfigurationCommands {
public:
    std::optional<std::string> chooseFileToOpen(const std::string&) override { return answer("open dialog"); }
    std::optional<std::string> chooseFileToSave(const std::string&, const std::string& name) override
    {
        return answer("save dialog " + name);
    }
    std::optional<std::string> saveConfiguration(const std::string& path) override { return record("save " + path); }
    std::optional<std::string> restoreConfiguration(const std::string& path) override
    {
        return record("restore " + path);
    }
    void setOutcomeHandler(OutcomeHandler handler) override { outcome = std::move(handler); }

    std::deque<std::string> answers;
    std::vector<std::string> events;
    std::optional<std::string> refusal;  // what every command answers
    OutcomeHandler outcome;              // how a transfer tells its end

private:
    std::optional<std::string> answer(std::string dialog)
    {
        events.push_back(std::move(dialog));
        if (answers.empty()) return std::nullopt;
        std::string path = answers.front();
        answers.pop_front();
        return path;
    }
    std::optional<std::string> record(std::string command)
    {
        events.push_back(std::move(command));
        return refusal;
    }
};

// Members are destroyed window first, queue last.
struct PanelUnderTest {
    PanelUnderTest()
    {
        auto endpoints = std::make_unique<test::FakeMidiEndpoints>();
        midi = endpoints.get();
        link = std::make_unique<QXInterface>(ui, std::move(endpoints));
        window = std::make_unique<app::MainWindow>(*link, script, script);
    }
    // One message from the looper, then the hand-offs it caused.
    void receive(const Bytes& message)
    {
        midi->deliver(message);
        ui.drain();
    }
    void looperAnswersOnMidi() { link->midiPolling.store(true); }
    // Everything waiting for the looper, oldest first.
    std::vector<Bytes> takeQueued()
    {
        std::vector<Bytes> out;
        for (Bytes m = link->cmdQueue.dequeue(); !m.empty(); m = link->cmdQueue.dequeue()) out.push_back(m);
        return out;
    }

    ManualMainQueue ui;
    test::FakeMidiEndpoints* midi = nullptr;
    std::unique_ptr<QXInterface> link;
    ScriptedDialogsAndCommands script;
    std::unique_ptr<app::MainWindow> window;
};

// A status report for tracks 1 to 4; selected is 1-based, 0 for none.
inline Bytes statusReport(int selected, const std::vector<sim::SimTrack>& tracks)
{
    return sim::reply::statusReport(4, selected, tracks);
}

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
