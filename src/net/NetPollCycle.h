#pragma once
// The network polling loop's schedule while a looper answers. Each pass sends
// the effects request or the effects write when one is asked for, else one
// queued command (then pauses 0.05 s), or, when nothing is queued, a status
// query (0.05 s) followed by a log query (0.1 s); while an upgrade runs it
// sends nothing and pauses 1.0 s. The loop ends after a pass that leaves ten
// status queries unanswered.
//
// step() does the work up to the next pause and returns that pause, so a test
// can walk the loop without waiting and the network thread sleeps in between.
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>

#include "common/Pacer.h"
#include "transport/Link.h"

namespace qx {

class NetPollCycle {
public:
    static constexpr double kPausedPause = 1.0;
    static constexpr double kAfterCommand = 0.05;
    static constexpr double kAfterStatusQuery = 0.05;
    static constexpr double kAfterLogQuery = 0.1;
    static constexpr std::int64_t kGiveUp = 10;

    using Send = std::function<void(std::span<const std::uint8_t>)>;
    // paused: true while an upgrade owns the looper's attention.
    NetPollCycle(LinkHost host, const std::atomic<bool>& paused, Send send)
        : host_(host), paused_(paused), send_(std::move(send)) {}

    // Puts the two settings slice requests (slices 0 and 72) and the effects
    // request at the end of the command queue, so they are the first commands
    // of the loop.
    void queueConfigurationRequests();
    Seconds step();
    // Asked after each pause: false once a pass has ended with ten status
    // queries unanswered.
    bool keepPolling() const;

private:
    LinkHost host_;
    const std::atomic<bool>& paused_;
    Send send_;
    bool logQueryOwed_ = false;
    bool pendingRead_ = false;
    bool pendingWrite_ = false;
};

}  // namespace qx
