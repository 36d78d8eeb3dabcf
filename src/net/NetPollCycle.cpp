#include "net/NetPollCycle.h"

#include "protocol/Messages.h"
#include "protocol/TextMessages.h"

namespace qx {

void NetPollCycle::queueSettingsRequests()
{
    host_.commands.enqueue(msg::settingsSliceRequest(msg::kSlice0));
    host_.commands.enqueue(msg::settingsSliceRequest(msg::kSlice72));
}

Seconds NetPollCycle::step()
{
    if (logQueryOwed_) {
        logQueryOwed_ = false;
        send_(net::bytesOf(net::kLogQuery));
        return Seconds(kAfterLogQuery);
    }
    // An upgrade owns the looper's attention: nothing is sent or counted.
    if (paused_.load()) return Seconds(kPausedPause);
    const Bytes command = host_.commands.dequeue();
    if (!command.empty()) {
        send_(command);
        return Seconds(kAfterCommand);
    }
    host_.arbiter.addUnanswered(Transport::network);
    send_(net::bytesOf(net::kStatusQuery));
    logQueryOwed_ = true;
    return Seconds(kAfterStatusQuery);
}

bool NetPollCycle::keepPolling() const
{
    return logQueryOwed_ || host_.arbiter.unanswered(Transport::network) < kGiveUp;
}

}  // namespace qx
