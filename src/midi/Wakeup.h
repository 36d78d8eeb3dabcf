#pragma once
// Wakes a waiting thread from any thread, the MIDI system's real-time thread
// included: post() takes no lock and allocates nothing (a POSIX semaphore).
#include <semaphore.h>

#include <chrono>

namespace qx {

class Wakeup {
public:
    Wakeup() { sem_init(&semaphore_, 0, 0); }
    ~Wakeup() { sem_destroy(&semaphore_); }
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    void post() { sem_post(&semaphore_); }
    // Returns after a post (true) or the time-out (false); posts made
    // meanwhile are taken together.
    bool waitFor(std::chrono::milliseconds timeout);

private:
    sem_t semaphore_;
};

}  // namespace qx
