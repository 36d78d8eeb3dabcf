#pragma once
// The whole window over a link controller whose worker never starts: MIDI
// goes through a test double, the UI-thread hand-offs run when the test
// drains them, and file dialogs and configuration commands answer from lists.
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ConfigurationCommands.h"
#include "app/FileDialogs.h"
#include "app/MainWindow.h"
#include "common/MainQueue.h"
#include "midi/QXInterface.h"
#include "support/FakeMidiEndpoints.h"

namespace qx::apptest {

class ScriptedFileDialogs final : public app::FileDialogs {
public:
    struct Request {
        std::string title;
        std::optional<std::string> proposedName;  // save dialogs only
    };
    std::optional<std::string> chooseFileToOpen(const std::string& title) override
    {
        requests.push_back({title, std::nullopt});
        return nextAnswer();
    }
    std::optional<std::string> chooseFileToSave(const std::string& title, const std::string& proposedName) override
    {
        requests.push_back({title, proposedName});
        return nextAnswer();
    }
    // Queued answers; nothing queued means the user cancels.
    std::deque<std::optional<std::string>> answers;
    std::vector<Request> requests;

private:
    std::optional<std::string> nextAnswer()
    {
        if (answers.empty()) return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

class RecordingConfigurationCommands final : public app::ConfigurationCommands {
public:
    std::optional<std::string> saveConfiguration(const std::string& path) override
    {
        saved.push_back(path);
        return refusal;
    }
    std::optional<std::string> restoreConfiguration(const std::string& path) override
    {
        restored.push_back(path);
        return refusal;
    }
    void setOutcomeHandler(OutcomeHandler handler) override { outcome = std::move(handler); }

    std::vector<std::string> saved;
    std::vector<std::string> restored;
    std::optional<std::string> refusal;  // what the next command answers
    OutcomeHandler outcome;               // how the transfer tells its end
};

class PanelUnderTest {
public:
    PanelUnderTest()
    {
        auto endpoints = std::make_unique<test::FakeMidiEndpoints>();
        midi = endpoints.get();
        link = std::make_unique<QXInterface>(ui, std::move(endpoints));
        window = std::make_unique<app::MainWindow>(*link, dialogs, configuration);
    }
    ~PanelUnderTest()
    {
        window.reset();
        link.reset();
    }

    // One message from the looper over MIDI, then the hand-offs it caused run
    // as the UI thread runs them.
    void receive(const Bytes& message)
    {
        midi->deliver(message);
        ui.drain();
    }
    // As after the polling cycle heard the looper answer on MIDI.
    void looperAnswersOnMidi() { link->midiPolling.store(true); }
    // Everything waiting for the looper in the command queue, oldest first.
    std::vector<Bytes> takeQueued()
    {
        std::vector<Bytes> out;
        for (Bytes m = link->cmdQueue.dequeue(); !m.empty(); m = link->cmdQueue.dequeue()) out.push_back(m);
        return out;
    }

    ManualMainQueue ui;
    test::FakeMidiEndpoints* midi = nullptr;
    std::unique_ptr<QXInterface> link;
    ScriptedFileDialogs dialogs;
    RecordingConfigurationCommands configuration;
    std::unique_ptr<app::MainWindow> window;
};

}  // namespace qx::apptest
