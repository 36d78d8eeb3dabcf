#include "midi/Wakeup.h"

#include <cerrno>
#include <ctime>

namespace qx {

bool Wakeup::waitFor(std::chrono::milliseconds timeout)
{
    timespec until{};
    clock_gettime(CLOCK_REALTIME, &until);
    const long long nanos = until.tv_nsec + static_cast<long long>(timeout.count()) * 1000000LL;
    until.tv_sec += static_cast<time_t>(nanos / 1000000000LL);
    until.tv_nsec = static_cast<long>(nanos % 1000000000LL);
    int result = 0;
    while ((result = sem_timedwait(&semaphore_, &until)) != 0 && errno == EINTR) {
    }
    // Several posts collapse into one wake: the waiter drains everything anyway.
    while (sem_trywait(&semaphore_) == 0) {
    }
    return result == 0;
}

}  // namespace qx
