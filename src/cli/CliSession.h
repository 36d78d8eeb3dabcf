#pragma once
// What every qxctl command shares: the link (to the system's MIDI ports and
// network, or to the in-process simulated looper), the models the window would
// attach, and a main loop that runs the UI-thread hand-offs until the command
// is done or the user presses Ctrl-C.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/MainQueue.h"
#include "config/MIDIButtonConfig.h"
#include "config/MiscConfig.h"
#include "config/QX2Effects.h"
#include "link/LooperLink.h"
#include "model/DisplayModels.h"
#include "model/Tracks.h"

namespace qx::cli {

struct Args {
    std::vector<std::string> words;  // the command's own arguments
    bool demo = false;
};

class CliSession {
public:
    explicit CliSession(bool demo);
    ~CliSession();

    LooperLink& link() { return *link_; }
    QXInterface& interface() { return link_->interface(); }
    ManualMainQueue& mainQueue() { return mainQueue_; }

    std::shared_ptr<Tracks> tracks = std::make_shared<Tracks>();
    std::shared_ptr<CompletionPercent> completion = std::make_shared<CompletionPercent>();
    std::shared_ptr<ObservableText> deviceLine = std::make_shared<ObservableText>();
    std::shared_ptr<LogText> log = std::make_shared<LogText>();
    std::shared_ptr<ObservableText> linkState = std::make_shared<ObservableText>();
    std::shared_ptr<MIDIButtonConfig> buttons;
    std::shared_ptr<MiscConfigModel> settings;
    std::shared_ptr<QX2Effects> bank1 = std::make_shared<QX2Effects>();
    std::shared_ptr<QX2Effects> bank2 = std::make_shared<QX2Effects>();

    // Runs hand-offs (and calls every, about each period) until done() is true,
    // the time-out passes, or Ctrl-C; false on time-out or Ctrl-C.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                  const std::function<void()>& every = {},
                  std::chrono::milliseconds period = std::chrono::milliseconds(500));

private:
    ManualMainQueue mainQueue_;
    std::unique_ptr<LooperLink> link_;
};

bool interrupted();

}  // namespace qx::cli
