#pragma once
// The simulator's sense of time. Tracks play against it; tests hand the engine
// a clock they move by hand, so nothing in a test depends on real time.
#include <atomic>
#include <chrono>
#include <cstdint>

namespace qx::sim {

using Nanos = std::chrono::nanoseconds;

class SimClock {
public:
    virtual ~SimClock() = default;
    // Time since the clock's own origin; never goes backwards.
    virtual Nanos now() const = 0;
};

// Real time, counted from construction.
class SteadySimClock final : public SimClock {
public:
    SteadySimClock();
    Nanos now() const override;

private:
    std::chrono::steady_clock::time_point origin_;
};

// Time that moves only when told to; safe to move from one thread while
// another reads it.
class ManualSimClock final : public SimClock {
public:
    Nanos now() const override { return Nanos(ticks_.load()); }
    void advance(Nanos by) { ticks_.fetch_add(by.count()); }

private:
    std::atomic<std::int64_t> ticks_{0};
};

}  // namespace qx::sim
