#include "midi/MidiPollCycle.h"

#include "common/ConsoleLine.h"
#include "common/ConsoleTexts.h"
#include "midi/MidiLink.h"
#include "protocol/Messages.h"

namespace qx {

void MidiPollCycle::announce(LinkState::Phase phase)
{
    // The arbiter passes on changes only.
    link_.host().arbiter.publish(LinkState{.phase = phase, .looperName = {}, .address = {}});
}

std::int64_t MidiPollCycle::unanswered() const { return link_.host().arbiter.unanswered(Transport::midi); }

Seconds MidiPollCycle::step()
{
    LinkArbiter& arbiter = link_.host().arbiter;
    // An upgrade that went out waits for the looper, whichever link now holds it.
    link_.checkUpgradeAnswer();
    for (;;) {
        switch (phase_) {
        case Phase::enterSearch:
            arbiter.setUnanswered(Transport::midi, 1);
            phase_ = Phase::search;
            break;

        case Phase::search:
            // A status report resets the count to 0 while the search runs.
            if (unanswered() < 1 && arbiter.holds(Transport::midi)) {
                phase_ = Phase::enterPolling;
                break;
            }
            if (!arbiter.holds(Transport::midi)) return Seconds(kIdlePause);
            if (unanswered() >= kSearchGiveUp) {
                // Whenever MIDI gains the link again, its first answer asks for the configuration.
                arbiter.expectFirstContact();
                // Told before the hand-over, so the network side's word comes after it.
                announce(LinkState::Phase::searchingNetwork);
                arbiter.handTo(Transport::network);
                phase_ = Phase::enterSearch;
                break;
            }
            announce(LinkState::Phase::searchingMidi);
            // Counted before it leaves: a looper that answers at once must
            // find the request already counted, or its reset is undone.
            arbiter.addUnanswered(Transport::midi, 2);
            link_.sendMessage(msg::statusRequest());
            return Seconds(kSearchPause);

        case Phase::enterPolling:
            consoleLine({console::kPollingMidi});
            announce(LinkState::Phase::pollingMidi);
            if (unanswered() > 9) {
                phase_ = Phase::leavePolling;
                break;
            }
            pendingRead_ = pendingWrite_ = false;
            statusCount_ = 0;
            phase_ = Phase::polling;
            break;

        case Phase::polling:
            pollOnce();
            phase_ = Phase::afterCycle;
            return Seconds(kCyclePause);

        case Phase::afterCycle:
            phase_ = unanswered() >= kPollGiveUp ? Phase::leavePolling : Phase::polling;
            break;

        case Phase::leavePolling:
            // A file loaded as polling ended must not wait for whichever looper answers next.
            link_.dropUnsentUpgrade();
            arbiter.expectFirstContact();
            consoleLine({console::kPollingIp});
            announce(LinkState::Phase::searchingNetwork);
            arbiter.handTo(Transport::network);
            phase_ = Phase::enterSearch;
            break;
        }
    }
}

void MidiPollCycle::pollOnce()
{
    LinkHost& host = link_.host();
    const auto taken = host.effects.take();
    pendingRead_ = pendingRead_ || taken.read;
    pendingWrite_ = pendingWrite_ || taken.write;

    if (link_.upgradeInProgress()) {
        link_.sendUpgradeMessage();
        return;
    }
    if (pendingRead_) {
        link_.sendMessage(msg::effectsRequest());
        pendingRead_ = false;
        return;
    }
    if (pendingWrite_) {
        link_.sendMessage(host.effects.writeMessage());
        pendingWrite_ = false;
        return;
    }
    if (Bytes command = host.commands.dequeue(); !command.empty()) {
        link_.sendMessage(command);
        return;
    }
    if (statusCount_ < kStatusPerLog) {
        host.arbiter.addUnanswered(Transport::midi);
        link_.sendMessage(msg::statusRequest());
        ++statusCount_;
        return;
    }
    link_.sendMessage(msg::logRequest());
    statusCount_ = 0;
}

}  // namespace qx
