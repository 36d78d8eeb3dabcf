#pragma once
// Worker loops are paced by sleeps. A Pacer does the sleeping so that a stop
// request ends a pause at once (clean shutdown) while the running timing stays
// exactly the pause asked for.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qx {

using Seconds = std::chrono::duration<double>;

class Pacer {
public:
    // Pauses for the given time; false when a stop was requested (the caller's
    // loop ends).
    bool pause(Seconds duration);
    void requestStop();
    bool stopRequested() const;

private:
    mutable std::mutex lock_;
    std::condition_variable wake_;
    bool stop_ = false;
};

}  // namespace qx
