#include "sim/DeliveryQueue.h"

namespace qx::sim {

DeliveryQueue::DeliveryQueue() : thread_([this] { run(); }) {}

DeliveryQueue::~DeliveryQueue() { stop(); }

void DeliveryQueue::post(std::chrono::milliseconds delay, Action action)
{
    {
        std::lock_guard guard(lock_);
        if (stopping_) return;
        items_.push_back({std::chrono::steady_clock::now() + delay, std::move(action)});
    }
    wake_.notify_all();
}

void DeliveryQueue::stop()
{
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        items_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void DeliveryQueue::run()
{
    for (;;) {
        Action action;
        {
            std::unique_lock guard(lock_);
            wake_.wait(guard, [this] { return stopping_ || !items_.empty(); });
            if (stopping_) return;
            // Only the head may go; a stop ends the wait at once.
            const auto due = items_.front().due;
            if (wake_.wait_until(guard, due, [this] { return stopping_; })) return;
            action = std::move(items_.front().action);
            items_.pop_front();
        }
        action();  // outside the lock: an action may send, and may post again
    }
}

}  // namespace qx::sim
