#include "net/NetPollCycle.h"

#include "protocol/Messages.h"
#include "protocol/TextMessages.h"

namespace qx {

void NetPollCycle::queueConfigurationRequests()
{
    host_.commands.enqueue(msg::settingsSliceRequest(msg::kSlice0));
    host_.commands.enqueue(msg::settingsSliceRequest(msg::kSlice72));
    host_.commands.enqueue(msg::effectsRequest());
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
    // The QX2 banks go ahead of the queue, as over MIDI: the request, then the write.
    const auto taken = host_.effects.take();
    pendingRead_ = pendingRead_ || taken.read;
    pendingWrite_ = pendingWrite_ || taken.write;
    if (pendingRead_) {
        pendingRead_ = false;
        send_(msg::effectsRequest());
        return Seconds(kAfterCommand);
    }
    if (pendingWrite_) {
        pendingWrite_ = false;
        send_(host_.effects.writeMessage());
        return Seconds(kAfterCommand);
    }
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
