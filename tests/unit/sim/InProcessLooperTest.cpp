// The in-process looper as the panel's MIDI endpoints: replies and button
// events come from the simulator's own thread, in order.
#include <atomic>
#include <mutex>
#include <thread>

#include "midi/Messages.h"
#include "sim/DeliveryQueue.h"
#include "sim/InProcessLooper.h"
#include "SimTestSupport.h"

namespace qx::sim {
namespace {

using namespace std::chrono_literals;

// The type byte of each message delivered, or -1 for one delivered on the test's own thread.
struct Collector {
    std::mutex lock;
    std::vector<int> types;
    const std::thread::id testThread = std::this_thread::get_id();

    MidiEndpoints::Receiver receiver()
    {
        return [this](std::span<const std::uint8_t> bytes) {
            std::lock_guard guard(lock);
            types.push_back(std::this_thread::get_id() == testThread ? -1 : bytes.size() > 4 ? bytes[4] : 0);
        };
    }
    // What arrived once there are n, or after 5 s (checked every millisecond).
    std::vector<int> waitFor(std::size_t n)
    {
        for (int ms = 0; ms < 5000; ++ms, std::this_thread::sleep_for(1ms)) {
            std::lock_guard guard(lock);
            if (types.size() >= n) return types;
        }
        std::lock_guard guard(lock);
        return types;
    }
};

TEST(InProcessLooper, RepliesAndPressesArriveInOrderFromTheSimulatorsThread)
{
    auto engine = std::make_shared<test::ClockedLooper>();
    Collector first, later;  // outlive the looper, whose thread calls them
    InProcessLooper looper(engine);
    EXPECT_EQ(looper.destinationNames(), std::vector<std::string>{"QX Looper Sim"});
    EXPECT_EQ(looper.sourceNames(), std::vector<std::string>{"QX Looper Sim"});
    looper.setReceiver(first.receiver());
    engine->setFaults(test::with(&Faults::delay, 30ms));
    looper.sendToEach(msg::statusRequest());  // held back, and so is everything after it
    engine->setFaults({});
    for (const Bytes& m : {msg::informationRequest(), msg::logRequest(), msg::settingsSliceRequest(72), msg::effectsRequest()})
        looper.sendToEach(m);
    ASSERT_TRUE(engine->pressButton(2, 36));  // F0 00 02 33 18 ...
    EXPECT_EQ(first.waitFor(6), (std::vector<int>{0x02, 0x17, 0x03, 0x15, 0x09, 0x18}));
    // A receiver replaced from inside a delivery takes the next message at once.
    looper.setReceiver([&, handOver = later.receiver()](std::span<const std::uint8_t> bytes) {
        looper.setReceiver(handOver);
        first.receiver()(bytes);
    });
    looper.sendToEach(msg::statusRequest());
    looper.sendToEach(msg::informationRequest());
    EXPECT_EQ(later.waitFor(1), std::vector<int>{0x17});
    EXPECT_EQ(first.waitFor(7).size(), 7u);
}

TEST(InProcessLooper, GoesAwayCleanlyWhileRepliesAndPressesAreInFlight)
{
    auto engine = std::make_shared<test::ClockedLooper>();
    std::atomic<int> delivered{0};
    std::thread presser;
    {
        InProcessLooper looper(engine);
        looper.setReceiver([&](std::span<const std::uint8_t>) { delivered.fetch_add(1); });
        presser = std::thread([engine] {
            for (int i = 0; i < 200; ++i) engine->pressButton(0, i % 128);
        });
        for (int i = 0; i < 200; ++i) looper.sendToEach(msg::statusRequest());
    }
    presser.join();
    const int seen = delivered.load();
    engine->pressButton(1, 1);
    DeliveryQueue queue;
    queue.post(std::chrono::hours(1), [&] { delivered = -1; });
    queue.stop();  // at once: an action still waiting is dropped
    EXPECT_EQ(delivered.load(), seen) << "nothing is delivered once the looper is gone";
}

}  // namespace
}  // namespace qx::sim
