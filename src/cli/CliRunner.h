#pragma once
// What every qxctl command shares: a looper session (on the system's MIDI
// ports and network, or on the in-process simulated looper) and a main loop
// that runs the session's UI-thread hand-offs and its 0.5 s edit cycle until
// the command is done or the user presses Ctrl-C.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "common/MainQueue.h"
#include "session/LooperSession.h"

namespace qx::cli {

// The session's console lines: on standard error with --verbose, else nowhere
// (standard output carries only the command's results).
void routeConsoleLines(bool verbose);

class CliRunner {
public:
    // Builds the session with the command line's options and starts it.
    // Throws std::runtime_error with a complete message when the session
    // cannot be built (a trace file that cannot be written, a build without
    // the simulated looper for --demo).
    explicit CliRunner(const Args& args);
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
    void tellMidiNotice();

    ManualMainQueue mainQueue_;
    std::string holding_;
    bool toldHolding_ = false;
    std::string toldMidiNotice_;
    std::unique_ptr<LooperSession> session_;
};

}  // namespace qx::cli
