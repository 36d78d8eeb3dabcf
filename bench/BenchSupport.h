#pragma once
// What the benchmarks that drive a looper session share: the session's
// models change only on the thread that drains its main queue, so a
// benchmark waits by draining it.
#include <chrono>
#include <functional>

#include "common/MainQueue.h"

namespace qx::bench {

// Drains the queue until the condition holds; false after the limit.
inline bool pumpUntil(ManualMainQueue& queue, const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        queue.waitAndDrain(std::chrono::milliseconds(2));
        if (done()) return true;
    }
    return false;
}

// Drains the queue for the whole time.
inline void pumpFor(ManualMainQueue& queue, std::chrono::duration<double> time)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(time);
    while (std::chrono::steady_clock::now() < until) queue.waitAndDrain(std::chrono::milliseconds(20));
}

}  // namespace qx::bench
