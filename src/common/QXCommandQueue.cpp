#include "common/QXCommandQueue.h"

#include <algorithm>

namespace qx {

void QXCommandQueue::enqueue(Bytes message)
{
    std::lock_guard guard(lock_);
    if (limit_ > 0 && list_.size() >= limit_) {
        list_.pop_front();
        ++dropped_;
    }
    list_.push_back(std::move(message));
    ++enqueued_;
}

Bytes QXCommandQueue::dequeue()
{
    std::lock_guard guard(lock_);
    if (list_.empty()) return {};
    Bytes front = std::move(list_.front());
    list_.pop_front();
    ++dequeued_;
    return front;
}

std::size_t QXCommandQueue::withdraw(const std::vector<Bytes>& messages)
{
    std::lock_guard guard(lock_);
    std::size_t taken = 0;
    for (const Bytes& message : messages)
        if (const auto found = std::find(list_.begin(), list_.end(), message); found != list_.end()) {
            list_.erase(found);
            ++taken;
            ++dequeued_;  // off the queue as surely as one sent
        }
    return taken;
}

std::size_t QXCommandQueue::count() const
{
    std::lock_guard guard(lock_);
    return list_.size();
}

std::uint64_t QXCommandQueue::enqueuedTotal() const
{
    std::lock_guard guard(lock_);
    return enqueued_;
}

std::uint64_t QXCommandQueue::dropped() const
{
    std::lock_guard guard(lock_);
    return dropped_;
}

std::uint64_t QXCommandQueue::dequeuedTotal() const
{
    std::lock_guard guard(lock_);
    return dequeued_;
}

}  // namespace qx
