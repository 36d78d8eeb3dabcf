#pragma once
// Worker threads never touch a model: they capture the values they need and
// post a closure here. The closures run later on the UI thread, in the order
// they were posted.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace qx {

class MainQueue {
public:
    virtual ~MainQueue() = default;
    virtual void post(std::function<void()> task) = 0;
};

// A queue that the owner of the "UI thread" drains by hand: the command-line
// tool's main loop and the tests.
class ManualMainQueue : public MainQueue {
public:
    void post(std::function<void()> task) override;
    // Runs every task waiting now (and those they post); returns how many ran.
    std::size_t drain();
    // Waits up to the time-out for at least one task, then drains.
    std::size_t waitAndDrain(std::chrono::milliseconds timeout);

private:
    std::mutex lock_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace qx
