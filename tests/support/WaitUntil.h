#pragma once
// Waits for a condition that another thread brings about, re-checking it
// every few milliseconds and giving up after the limit.
#include <chrono>
#include <functional>
#include <thread>

namespace qx::test {

inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    for (const auto deadline = std::chrono::steady_clock::now() + limit; !condition();) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace qx::test
