#pragma once
// Sends the looper's replies from a thread of their own, in the order they
// were posted, each no earlier than its delay asks. A transport's receive path
// never waits for a send, and a delayed reply holds back the ones after it,
// as a single output line would.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace qx::sim {

class DeliveryQueue {
public:
    using Action = std::function<void()>;

    DeliveryQueue();
    ~DeliveryQueue();
    DeliveryQueue(const DeliveryQueue&) = delete;
    DeliveryQueue& operator=(const DeliveryQueue&) = delete;

    // Runs the action on the queue's thread once the delay has passed and
    // every earlier action has run. Ignored after stop().
    void post(std::chrono::milliseconds delay, Action action);
    // Ends the thread promptly; actions still waiting are dropped. Safe to
    // call more than once, but not from an action.
    void stop();

private:
    struct Item {
        std::chrono::steady_clock::time_point due;
        Action action;
    };
    void run();

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Item> items_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace qx::sim
