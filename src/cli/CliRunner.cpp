#include "cli/CliRunner.h"

#include <atomic>
#include <csignal>

#include "session/EditCycle.h"
#include "session/SessionFactory.h"

namespace qx::cli {
namespace {

std::atomic<bool> stopAsked{false};
extern "C" void onSignal(int) { stopAsked.store(true); }

}  // namespace

bool interrupted() { return stopAsked.load(); }

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
    while (!stopAsked.load()) {
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
    return false;
}

bool CliRunner::awaitLooper(std::chrono::milliseconds timeout)
{
    const LinkStatus& status = *models().linkStatus;
    return runUntil([&status] { return status.state().answering(); }, timeout);
}

}  // namespace qx::cli
