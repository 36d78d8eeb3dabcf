#pragma once
// The MIDI worker's schedule. It searches for the looper with status requests,
// polls it once every 0.07 s while it answers (upgrade message, effects
// request, effects write, queued command, or five status requests to one log
// request), and hands the link to the network side when MIDI stays silent.
//
// step() does the work up to the next pause and returns that pause, so a test
// can walk the cycle without waiting and the worker thread sleeps in between.
#include <cstdint>

#include "common/LinkState.h"
#include "common/Pacer.h"

namespace qx {

class MidiLink;

class MidiPollCycle {
public:
    static constexpr double kSearchPause = 0.1;
    static constexpr double kIdlePause = 1.0;
    static constexpr double kCyclePause = 0.07;
    static constexpr std::int64_t kStatusPerLog = 5;
    static constexpr std::int64_t kSearchGiveUp = 11;
    static constexpr std::int64_t kPollGiveUp = 10;

    explicit MidiPollCycle(MidiLink& link) : link_(link) {}
    Seconds step();

    enum class Phase { enterSearch, search, enterPolling, polling, afterCycle, leavePolling };
    Phase phase() const { return phase_; }

private:
    void pollOnce();
    void announce(LinkState::Phase phase);
    std::int64_t unanswered() const;

    MidiLink& link_;
    Phase phase_ = Phase::enterSearch;
    bool pendingRead_ = false;
    bool pendingWrite_ = false;
    std::int64_t statusCount_ = 0;
};

}  // namespace qx
