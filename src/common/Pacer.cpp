#include "common/Pacer.h"

namespace qx {

bool Pacer::pause(Seconds duration)
{
    std::unique_lock guard(lock_);
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::duration_cast<std::chrono::steady_clock::duration>(duration);
    wake_.wait_until(guard, until, [this] { return stop_; });
    return !stop_;
}

void Pacer::requestStop()
{
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    wake_.notify_all();
}

bool Pacer::stopRequested() const
{
    std::lock_guard guard(lock_);
    return stop_;
}

}  // namespace qx
