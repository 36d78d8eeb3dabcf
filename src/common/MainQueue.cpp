#include "common/MainQueue.h"

namespace qx {

void ManualMainQueue::post(std::function<void()> task)
{
    {
        std::lock_guard guard(lock_);
        tasks_.push_back(std::move(task));
    }
    ready_.notify_all();
}

std::size_t ManualMainQueue::drain()
{
    std::size_t ran = 0;
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard guard(lock_);
            if (tasks_.empty()) return ran;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
        ++ran;
    }
}

std::size_t ManualMainQueue::waitAndDrain(std::chrono::milliseconds timeout)
{
    {
        std::unique_lock guard(lock_);
        ready_.wait_for(guard, timeout, [this] { return !tasks_.empty(); });
    }
    return drain();
}

}  // namespace qx
