#include "cli/CliRunner.h"

#include <atomic>
#include <csignal>
#include <cstdio>

#include "session/EditCycle.h"
#include "session/SessionFactory.h"

namespace qx::cli {
namespace {

std::atomic<int> interrupts{0};
extern "C" void onSignal(int) { interrupts.fetch_add(1); }

}  // namespace

CliRunner::CliRunner(bool demo) : session_(demo ? makeDemoSession(mainQueue_) : makeSystemSession(mainQueue_))
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    session_->start();
}

CliRunner::~CliRunner() { session_->stop(); }

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
            std::fprintf(stderr, "\n%s\n", holding_.c_str());  // below the progress bar
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
