#include "sim/ReceiverSlot.h"

namespace qx::sim {

void ReceiverSlot::set(MidiEndpoints::Receiver receiver)
{
    std::unique_lock guard(lock_);
    // A receiver that replaces itself from inside a delivery must not wait for
    // its own return.
    idle_.wait(guard, [this] { return !delivering_ || deliverer_ == std::this_thread::get_id(); });
    receiver_ = std::move(receiver);
}

void ReceiverSlot::deliver(std::span<const std::uint8_t> bytes)
{
    MidiEndpoints::Receiver receiver;
    {
        std::lock_guard guard(lock_);
        if (!receiver_) return;
        receiver = receiver_;
        delivering_ = true;
        deliverer_ = std::this_thread::get_id();
    }
    receiver(bytes);
    {
        std::lock_guard guard(lock_);
        delivering_ = false;
    }
    idle_.notify_all();
}

}  // namespace qx::sim
