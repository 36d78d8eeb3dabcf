#pragma once
// What every qxctl command shares: a looper session (on the system's MIDI
// ports and network, or on the in-process simulated looper) and a main loop
// that runs the session's UI-thread hand-offs and its 0.5 s edit cycle until
// the command is done or the user presses Ctrl-C.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/MainQueue.h"
#include "session/LooperSession.h"

namespace qx::cli {

struct Args {
    std::vector<std::string> words;  // the command's own arguments
    bool demo = false;
};

class CliRunner {
public:
    // Builds the session and starts it.
    explicit CliRunner(bool demo);
    ~CliRunner();

    LooperSession& session() { return *session_; }
    SessionModels& models() { return session_->models(); }

    // Runs hand-offs until done() is true, the time-out passes, or Ctrl-C;
    // false on time-out or Ctrl-C. The edit cycle ticks at once and then
    // every 0.5 s; after each tick, every() runs.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                  const std::function<void()>& every = {});
    // Waits up to the time-out for a looper that answers on either link.
    bool awaitLooper(std::chrono::milliseconds timeout);
    // From now on the first Ctrl-C only prints the words; the second ends the wait.
    void holdFirstInterrupt(std::string words) { holding_ = std::move(words); }
    // Runs the hand-offs waiting now (the end of a command may be among them).
    void drain() { mainQueue_.drain(); }

private:
    ManualMainQueue mainQueue_;
    std::string holding_;
    bool toldHolding_ = false;
    std::unique_ptr<LooperSession> session_;
};


}  // namespace qx::cli
