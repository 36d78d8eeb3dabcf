// Starting a firmware upgrade, and sending it over MIDI one message per cycle.
#include "common/UpgradeFile.h"
#include "midi/QXInterface.h"

namespace qx {

std::optional<std::string> QXInterface::loadUpgradeFile(const std::string& path)
{
    auto file = readUpgradeFile(path);
    if (auto* reason = std::get_if<std::string>(&file)) return "Upgrade refused: " + *reason;
    Bytes contents = std::move(std::get<Bytes>(file));

    const bool overMidi = pollMIDI();
    if (overMidi) {
        // Messages go out only while the looper is being polled; loaded before
        // that, the file would wait, holding the progress bar, for a looper
        // that may never answer.
        if (!midiPolling.load()) return std::string("Upgrade refused: no looper is answering on MIDI");
        if (auto fault = checkSysExUpgrade(contents))
            return "Upgrade refused: " + path + " is not a SysEx upgrade file (" + *fault + ")";
    } else if (!network_) {
        return std::string("Upgrade refused: no network link");
    }
    if (gate_ && !gate_->tryEnter("upgrade")) {
        return "Upgrade refused: " + (gate_->holder() == "upgrade" ? std::string("an upgrade is already running")
                                                                   : "a " + gate_->holder() + " is running");
    }
    if (!overMidi) {
        auto refusal = network_->startUpgrade(std::move(contents));
        if (refusal && gate_) gate_->leave();
        return refusal;
    }
    upgrade_.load(std::move(contents));
    return std::nullopt;
}

void QXInterface::upgradeEnded(Outcome outcome)
{
    if (gate_) gate_->leave();
    mainQueue_.post([this, outcome = std::move(outcome)] {
        if (upgradeOutcome_) upgradeOutcome_(outcome);
    });
}

void QXInterface::sendUpgradeMessage()
{
    const std::int64_t length = upgrade_.length();
    const MidiUpgrade::Step step = upgrade_.next();
    if (!step.message.empty()) sendMessage(step.message);
    if (!step.message.empty()) showProgress(step.progress);
    if (step.finished)
        upgradeEnded({true, "Upgrade finished: " + std::to_string(length) + " bytes sent over MIDI"});
    else if (step.abandoned)
        upgradeEnded({false, "Upgrade stopped: the file is not a sequence of SysEx messages"});
}

}  // namespace qx
