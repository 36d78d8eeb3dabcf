#include "common/QXCommandQueue.h"

namespace qx {

void QXCommandQueue::enqueue(Bytes message)
{
    std::lock_guard guard(lock_);
    list_.push_back(std::move(message));
}

Bytes QXCommandQueue::dequeue()
{
    std::lock_guard guard(lock_);
    if (list_.empty()) return {};
    Bytes front = std::move(list_.front());
    list_.pop_front();
    return front;
}

std::size_t QXCommandQueue::count() const
{
    std::lock_guard guard(lock_);
    return list_.size();
}

}  // namespace qx
