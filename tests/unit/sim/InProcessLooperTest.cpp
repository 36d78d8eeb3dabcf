// The in-process looper as the panel's MIDI endpoints: replies and button
// events come from the simulator's own thread, in order.
#include <atomic>
#include <mutex>
#include <thread>

#include "midi/Messages.h"
#include "sim/InProcessLooper.h"
#include "SimTestSupport.h"

namespace qx::sim::test {

TEST(InProcessLooper, RepliesAndPressesArriveInOrderFromTheSimulatorsThread)
{
    auto engine = std::make_shared<ClockedLooper>();
    std::mutex lock;
    std::vector<int> types;  // the type byte of each message delivered, or -1 for one on the test's thread
    auto collect = [&, testThread = std::this_thread::get_id()](std::span<const std::uint8_t> m, int mark = 0) {
        std::lock_guard guard(lock);
        types.push_back(std::this_thread::get_id() == testThread ? -1 : mark + (m.size() > 4 ? m[4] : 0));
    };
    auto received = [&](std::size_t n) {  // once there are n, or after 5 s
        for (int ms = 0; ms < 5000; ++ms, std::this_thread::sleep_for(1ms))
            if (std::lock_guard guard(lock); types.size() >= n) break;
        std::lock_guard guard(lock);
        return types;
    };
    InProcessLooper looper(engine);  // goes before what its thread calls
    looper.setReceiver([&](std::span<const std::uint8_t> m) { collect(m); });
    engine->setFaults(with(&Faults::delay, 30ms));
    looper.sendToEach(msg::statusRequest());  // held back, and so is everything after it
    engine->setFaults({});
    for (const auto& m : {msg::informationRequest(), msg::logRequest(), msg::effectsRequest()})
        looper.sendToEach(m);
    ASSERT_TRUE(engine->pressButton(2, 36));  // F0 00 02 33 18 ...
    EXPECT_EQ(received(5), (std::vector<int>{0x02, 0x17, 0x03, 0x09, 0x18}));
    // A receiver replaced from inside a delivery (marked 0x100) takes the next message at once.
    looper.setReceiver([&](std::span<const std::uint8_t> m) {
        looper.setReceiver([&](std::span<const std::uint8_t> next) { collect(next, 0x100); });
        collect(m);
    });
    looper.sendToEach(msg::statusRequest());
    looper.sendToEach(msg::informationRequest());
    EXPECT_EQ(received(7), (std::vector<int>{0x02, 0x17, 0x03, 0x09, 0x18, 0x02, 0x117}));
}

TEST(InProcessLooper, GoesAwayCleanlyWhileRepliesAndPressesAreInFlight)
{
    auto engine = std::make_shared<ClockedLooper>();
    std::atomic<int> delivered{0};
    std::thread presser;
    {
        InProcessLooper looper(engine);
        looper.setReceiver([&](std::span<const std::uint8_t>) { delivered.fetch_add(1); });
        presser = std::thread([engine] { for (int i = 0; i < 200; ++i) engine->pressButton(0, i % 128); });
        for (int i = 0; i < 200; ++i) looper.sendToEach(msg::statusRequest());
        engine->setFaults(with(&Faults::delay, std::chrono::hours(1)));
        looper.sendToEach(msg::statusRequest());  // going away must not wait for this one
    }
    presser.join();
    const int seen = delivered.load();
    engine->pressButton(1, 1);
    EXPECT_EQ(delivered.load(), seen) << "nothing is delivered once the looper is gone";
}

}  // namespace qx::sim::test
