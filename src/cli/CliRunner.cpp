#include "cli/CliRunner.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <stdexcept>

#include "cli/TerminalText.h"
#include "common/ConsoleLine.h"
#include "session/EditCycle.h"
#include "session/SessionFactory.h"

namespace qx::cli {
namespace {

std::atomic<int> interrupts{0};
extern "C" void onSignal(int) { interrupts.fetch_add(1); }

bool standardErrorIsTerminal()
{
    static const bool terminal = ::isatty(STDERR_FILENO) == 1;
    return terminal;
}

std::unique_ptr<LooperSession> makeSession(MainQueue& mainQueue, const Args& args)
{
    auto session = args.demo ? makeDemoSession(mainQueue, args.session) : makeSystemSession(mainQueue, args.session);
    if (!session) throw std::runtime_error("this build has no simulated looper for --demo");
    return session;
}

}  // namespace

void routeConsoleLines(bool verbose)
{
    if (!verbose) {
        setConsoleSink([](const std::string&) {});
        return;
    }
    setConsoleSink([](const std::string& line) {
        // On a terminal the line first clears a progress bar being drawn
        // there; the bar's next step draws it again below.
        std::fprintf(stderr, standardErrorIsTerminal() ? "\r\x1b[K%s\n" : "%s\n", line.c_str());
    });
}

CliRunner::CliRunner(const Args& args)
{
    routeConsoleLines(args.session.verbose);
    session_ = makeSession(mainQueue_, args);
    models().midiNotice->subscribe([this] { tellMidiNotice(); });
    tellMidiNotice();
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    session_->start();
}

CliRunner::~CliRunner() { session_->stop(); }

void CliRunner::tellMidiNotice()
{
    const std::string& notice = models().midiNotice->text();
    if (notice.empty() || notice == toldMidiNotice_) return;
    toldMidiNotice_ = notice;
    std::fprintf(stderr, "%s\n", terminalSafe(notice).c_str());
}

bool CliRunner::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                         const std::function<void()>& every)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    auto nextTick = Clock::now();
    for (;;) {
        const int asked = interrupts.load();
        if (asked > (holding_.empty() ? 0 : 1)) return false;
        if (asked == 1 && !holding_.empty() && !toldHolding_) {
            // On a terminal, below the progress bar.
            std::fprintf(stderr, standardErrorIsTerminal() ? "\n%s\n" : "%s\n", holding_.c_str());
            toldHolding_ = true;  // a second Ctrl-C ends the wait
        }
        const auto now = Clock::now();
        if (now >= nextTick) {
            session_->edits().tick();
            if (every) every();
            nextTick = now + std::chrono::milliseconds(EditCycle::kTickMs);
        }
        mainQueue_.waitAndDrain(std::chrono::milliseconds(20));
        if (done && done()) return true;
        if (Clock::now() >= deadline) return false;
    }
}

bool CliRunner::awaitLooper(std::chrono::milliseconds timeout)
{
    const LinkStatus& status = *models().linkStatus;
    return runUntil([&status] { return status.state().answering(); }, timeout);
}

}  // namespace qx::cli
