#pragma once
// One value on its way from a link's thread to the UI thread. However fast
// reports come, at most one post waits in the UI queue: a newer report joins
// the waiting value instead of posting again, so a flood costs neither queue
// memory nor the UI thread's time.
#include <mutex>
#include <optional>
#include <utility>

namespace qx {

template <typename T>
class HandOff {
public:
    // Stores the value, or merges it into the one waiting. True when none was
    // waiting: the caller then posts one task that calls take().
    template <typename Merge>
    bool offer(T value, Merge merge)
    {
        std::lock_guard guard(lock_);
        if (pending_) {
            merge(*pending_, std::move(value));
            return false;
        }
        pending_ = std::move(value);
        return true;
    }
    // The newest value replaces the waiting one.
    bool offer(T value)
    {
        return offer(std::move(value), [](T& waiting, T&& newer) { waiting = std::move(newer); });
    }
    std::optional<T> take()
    {
        std::lock_guard guard(lock_);
        return std::exchange(pending_, std::nullopt);
    }

private:
    std::mutex lock_;
    std::optional<T> pending_;
};

}  // namespace qx
