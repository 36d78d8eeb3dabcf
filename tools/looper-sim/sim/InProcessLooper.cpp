#include "sim/InProcessLooper.h"

#include "sim/DeliveryQueue.h"
#include "sim/ReceiverSlot.h"

namespace qx::sim {

InProcessLooper::InProcessLooper(std::shared_ptr<LooperEngine> engine)
    : engine_(std::move(engine)),
      receiver_(std::make_shared<ReceiverSlot>()),
      queue_(std::make_shared<DeliveryQueue>())
{
    // The listener may outlive this object by one call; it holds only what
    // stays valid after the queue has stopped.
    std::weak_ptr<DeliveryQueue> queue = queue_;
    listenerId_ = engine_->addEventListener([queue, receiver = receiver_](const Bytes& event) {
        if (auto live = queue.lock()) live->post(std::chrono::milliseconds(0), [receiver, event] { receiver->deliver(event); });
    });
}

InProcessLooper::~InProcessLooper()
{
    engine_->removeEventListener(listenerId_);
    queue_->stop();
}

void InProcessLooper::setReceiver(Receiver receiver) { receiver_->set(std::move(receiver)); }

bool InProcessLooper::sendToEach(std::span<const std::uint8_t> message)
{
    for (Reply& reply : engine_->receiveMidi(message))
        queue_->post(reply.delay, [receiver = receiver_, bytes = std::move(reply.bytes)] { receiver->deliver(bytes); });
    return true;
}

std::unique_ptr<MidiEndpoints> makeDemoEndpoints()
{
    return std::make_unique<InProcessLooper>(std::make_shared<LooperEngine>());
}

}  // namespace qx::sim
