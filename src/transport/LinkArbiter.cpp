#include "transport/LinkArbiter.h"

namespace qx {

LinkState LinkArbiter::state() const
{
    std::lock_guard guard(stateLock_);
    return state_;
}

void LinkArbiter::publish(const LinkState& state)
{
    {
        std::lock_guard guard(stateLock_);
        if (state_ == state) return;
        state_ = state;
    }
    // Only the link that holds the link publishes, so changes come in order.
    if (listener_) listener_(state);
}

}  // namespace qx
