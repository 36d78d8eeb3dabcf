// How promptly the in-process looper answers: sends status requests one at a
// time, waits for each reply, and prints the median and tail of the round
// trip, plus how many requests per second the engine alone answers.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "protocol/Messages.h"
#include "sim/InProcessLooper.h"

namespace {

using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 2000;
    auto engine = std::make_shared<qx::sim::LooperEngine>();
    qx::sim::InProcessLooper looper(engine);
    std::mutex lock;
    std::condition_variable arrived;
    int replies = 0;
    looper.setReceiver([&](std::span<const std::uint8_t>) {
        {
            std::lock_guard guard(lock);
            ++replies;
        }
        arrived.notify_all();
    });

    const qx::Bytes request = qx::msg::statusRequest();
    std::vector<double> microseconds;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        looper.sendToEach(request);
        std::unique_lock guard(lock);
        if (!arrived.wait_for(guard, std::chrono::seconds(1), [&] { return replies > i; })) {
            std::fprintf(stderr, "no reply to request %d\n", i);
            return 1;
        }
        microseconds.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::printf("in-process round trip over %d requests: median %.1f us, p90 %.1f us, p99 %.1f us, max %.1f us\n",
                rounds, percentile(microseconds, 0.5), percentile(microseconds, 0.9), percentile(microseconds, 0.99),
                percentile(microseconds, 1.0));

    const auto start = Clock::now();
    const int direct = rounds * 10;
    for (int i = 0; i < direct; ++i) engine->receiveMidi(request);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("engine alone: %.0f status requests per second\n", direct / seconds);
    return 0;
}
