#include "midi/MidiPollCycle.h"

#include "common/ConsoleLine.h"
#include "midi/Messages.h"
#include "midi/QXInterface.h"

namespace qx {
namespace {

constexpr const char* kSearchingMidi = "Searching for the looper on MIDI";
constexpr const char* kPollingMidi = "Polling the looper over MIDI";
constexpr const char* kSearchingNetwork = "Searching the network for the looper";

}  // namespace

void MidiPollCycle::announce(const char* state)
{
    // Only changes are told; the network side tells its own states.
    if (announced_ == state) return;
    announced_ = state;
    link_.showLinkState(state);
}

Seconds MidiPollCycle::step()
{
    for (;;) {
        switch (phase_) {
        case Phase::enterSearch:
            link_.pollTries.store(1);
            phase_ = Phase::search;
            break;

        case Phase::search:
            // A status report resets the count to 0 while the search runs.
            if (link_.pollTries.load() < 1 && link_.pollMIDI()) {
                phase_ = Phase::enterPolling;
                break;
            }
            if (!link_.pollMIDI()) return Seconds(kIdlePause);
            if (link_.pollTries.load() >= kSearchGiveUp) {
                link_.setPollMIDI(false);  // the network side now holds the link
                announce(kSearchingNetwork);
                phase_ = Phase::enterSearch;
                break;
            }
            announce(kSearchingMidi);
            link_.clearTracks();
            // Counted before it leaves: a looper that answers at once must
            // find the request already counted, or its reset is undone.
            link_.pollTries.fetch_add(2);
            link_.sendMessage(msg::statusRequest());
            return Seconds(kSearchPause);

        case Phase::enterPolling:
            consoleLine({"Polling MIDI"});
            announce(kPollingMidi);
            link_.midiPolling.store(true);
            if (link_.pollTries.load() > 9) {
                phase_ = Phase::leavePolling;
                break;
            }
            pendingPoll_ = pendingSave_ = false;
            statusCount_ = 0;
            phase_ = Phase::polling;
            break;

        case Phase::polling:
            pollOnce();
            phase_ = Phase::afterCycle;
            return Seconds(kCyclePause);

        case Phase::afterCycle:
            phase_ = link_.pollTries.load() >= kPollGiveUp ? Phase::leavePolling : Phase::polling;
            break;

        case Phase::leavePolling:
            link_.midiPolling.store(false);
            link_.firstContact.store(true);
            link_.setPollMIDI(false);
            consoleLine({"Polling IP"});
            announce(kSearchingNetwork);
            phase_ = Phase::enterSearch;
            break;
        }
    }
}

void MidiPollCycle::pollOnce()
{
    const auto triggers = link_.takeTriggers();
    pendingPoll_ = pendingPoll_ || triggers.poll;
    pendingSave_ = pendingSave_ || triggers.save;

    if (link_.upgrade().inProgress()) {
        link_.sendUpgradeMessage();
        return;
    }
    if (pendingPoll_) {
        link_.sendMessage(msg::effectsRequest());
        pendingPoll_ = false;
        return;
    }
    if (pendingSave_) {
        link_.sendEffectsConfiguration();
        pendingSave_ = false;
        return;
    }
    if (Bytes command = link_.cmdQueue.dequeue(); !command.empty()) {
        link_.sendMessage(command);
        return;
    }
    if (statusCount_ < kStatusPerLog) {
        link_.clearTracks();
        link_.pollTries.fetch_add(1);
        link_.sendMessage(msg::statusRequest());
        ++statusCount_;
        return;
    }
    link_.sendMessage(msg::logRequest());
    statusCount_ = 0;
}

}  // namespace qx
