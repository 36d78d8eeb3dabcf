#include "sim/SimClock.h"

namespace qx::sim {

SteadySimClock::SteadySimClock() : origin_(std::chrono::steady_clock::now()) {}

Nanos SteadySimClock::now() const
{
    return std::chrono::duration_cast<Nanos>(std::chrono::steady_clock::now() - origin_);
}

}  // namespace qx::sim
