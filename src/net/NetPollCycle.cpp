#include "net/NetPollCycle.h"

#include "midi/Messages.h"
#include "net/QXNetworkInterface.h"
#include "net/TextMessages.h"

namespace qx {

void NetPollCycle::queueSettingsRequests()
{
    host_.commandQueue().enqueue(msg::settingsSliceRequest(msg::kSlice0));
    host_.commandQueue().enqueue(msg::settingsSliceRequest(msg::kSlice72));
}

Seconds NetPollCycle::step()
{
    if (logQueryOwed_) {
        logQueryOwed_ = false;
        send_(net::bytesOf(net::kLogQuery));
        return Seconds(kAfterLogQuery);
    }
    // An upgrade owns the looper's attention: nothing is sent or counted.
    if (link_.pollingPausedNow()) return Seconds(kPausedPause);
    const Bytes command = host_.commandQueue().dequeue();
    if (!command.empty()) {
        send_(command);
        return Seconds(kAfterCommand);
    }
    link_.addPollAttempt();
    send_(net::bytesOf(net::kStatusQuery));
    logQueryOwed_ = true;
    return Seconds(kAfterStatusQuery);
}

bool NetPollCycle::keepPolling() const
{
    return logQueryOwed_ || link_.pollAttemptsNow() < kGiveUp;
}

}  // namespace qx
