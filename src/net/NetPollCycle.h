#pragma once
// The network polling loop's schedule while a looper answers. Each pass sends
// one queued command (then pauses 0.05 s), or, when nothing is queued, a
// status query (0.05 s) followed by a log query (0.1 s); while an upgrade runs
// it sends nothing and pauses 1.0 s. The loop ends after a pass that leaves
// ten status queries unanswered.
//
// step() does the work up to the next pause and returns that pause, so a test
// can walk the loop without waiting and the network thread sleeps in between.
#include <cstdint>
#include <functional>
#include <span>

#include "common/LinkContracts.h"
#include "common/Pacer.h"

namespace qx {

class QXNetworkInterface;

class NetPollCycle {
public:
    static constexpr double kPausedPause = 1.0;
    static constexpr double kAfterCommand = 0.05;
    static constexpr double kAfterStatusQuery = 0.05;
    static constexpr double kAfterLogQuery = 0.1;
    static constexpr std::int64_t kGiveUp = 10;

    using Send = std::function<void(std::span<const std::uint8_t>)>;
    NetPollCycle(QXNetworkInterface& link, LinkHost& host, Send send)
        : link_(link), host_(host), send_(std::move(send)) {}

    // Puts the two settings slice requests (slices 0 and 72) at the end of
    // the command queue, so they are the first commands of the loop.
    void queueSettingsRequests();
    Seconds step();
    // Asked after each pause: false once a pass has ended with ten status
    // queries unanswered.
    bool keepPolling() const;

private:
    QXNetworkInterface& link_;
    LinkHost& host_;
    Send send_;
    bool logQueryOwed_ = false;
};

}  // namespace qx
