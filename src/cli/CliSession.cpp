#include "cli/CliSession.h"

#include <atomic>
#include <csignal>

#include "link/DemoLink.h"

namespace qx::cli {
namespace {

std::atomic<bool> stopAsked{false};
extern "C" void onSignal(int) { stopAsked.store(true); }

}  // namespace

bool interrupted() { return stopAsked.load(); }

CliSession::CliSession(bool demo)
    : link_(demo ? makeDemoLink(mainQueue_) : makeSystemLink(mainQueue_))
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    QXInterface& link = interface();
    buttons = std::make_shared<MIDIButtonConfig>(link.cmdQueue);
    settings = std::make_shared<MiscConfigModel>(link.cmdQueue, defaultMiscConfig());
    link.tracksModel = tracks;
    link.completionModel = completion;
    link.qxInfoString = deviceLine;
    link.logModel = log;
    link.linkStateModel = linkState;
    link.qxMIDIButtons = buttons;
    link.qxMiscConfig = settings;
    link.attachEffectsModels(bank1, bank2);
    link_->start();
}

CliSession::~CliSession() { link_->stop(); }

bool CliSession::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                          const std::function<void()>& every, std::chrono::milliseconds period)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    auto nextTick = Clock::now() + period;
    while (!stopAsked.load()) {
        mainQueue_.waitAndDrain(std::chrono::milliseconds(20));
        if (done && done()) return true;
        const auto now = Clock::now();
        if (every && now >= nextTick) {
            every();
            nextTick = now + period;
        }
        if (now >= deadline) return false;
    }
    return false;
}

}  // namespace qx::cli
