// The in-process looper as the panel's MIDI endpoints: replies come from the
// simulator's own thread, in order.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "midi/Messages.h"
#include "sim/DeliveryQueue.h"
#include "sim/InProcessLooper.h"
#include "SimTestSupport.h"

namespace qx::sim {
namespace {

using namespace std::chrono_literals;

// Collects what the looper delivers, with the delivering thread.
class Collector {
public:
    MidiEndpoints::Receiver receiver()
    {
        return [this](std::span<const std::uint8_t> bytes) {
            {
                std::lock_guard guard(lock_);
                messages_.emplace_back(bytes.begin(), bytes.end());
                threads_.push_back(std::this_thread::get_id());
            }
            arrived_.notify_all();
        };
    }
    // Waits (bounded) until n messages have arrived; returns them.
    std::vector<Bytes> waitFor(std::size_t n)
    {
        std::unique_lock guard(lock_);
        arrived_.wait_for(guard, 5s, [&] { return messages_.size() >= n; });
        return messages_;
    }
    std::vector<std::thread::id> threads()
    {
        std::lock_guard guard(lock_);
        return threads_;
    }

private:
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<Bytes> messages_;
    std::vector<std::thread::id> threads_;
};

std::shared_ptr<LooperEngine> engineOnHandClock()
{
    EngineOptions options;
    options.clock = std::make_shared<ManualSimClock>();
    return std::make_shared<LooperEngine>(std::move(options));
}

TEST(InProcessLooper, OneDestinationAndOneSourceNamedForTheLooper)
{
    InProcessLooper looper(engineOnHandClock());
    EXPECT_EQ(looper.destinationNames(), std::vector<std::string>{"QX Looper Sim"});
    EXPECT_EQ(looper.sourceNames(), std::vector<std::string>{"QX Looper Sim"});
}

TEST(InProcessLooper, RepliesArriveInOrderFromTheSimulatorsThread)
{
    auto engine = engineOnHandClock();
    Collector collector;  // outlives the looper, whose thread calls it
    InProcessLooper looper(engine);
    looper.setReceiver(collector.receiver());
    for (const Bytes& request : {msg::statusRequest(), msg::informationRequest(), msg::logRequest(),
                                 msg::settingsSliceRequest(72), msg::effectsRequest()})
        looper.sendToEach(request);
    const auto messages = collector.waitFor(5);
    ASSERT_EQ(messages.size(), 5u);
    std::vector<int> types;
    for (const Bytes& m : messages) types.push_back(m[4]);
    EXPECT_EQ(types, (std::vector<int>{0x02, 0x17, 0x03, 0x15, 0x09}));
    for (const auto& id : collector.threads()) EXPECT_NE(id, std::this_thread::get_id());
    EXPECT_EQ(engine->journal().size(), 5u);
}

TEST(InProcessLooper, DelayedRepliesKeepTheirOrder)
{
    auto engine = engineOnHandClock();
    Collector collector;  // outlives the looper, whose thread calls it
    InProcessLooper looper(engine);
    looper.setReceiver(collector.receiver());
    Faults f;
    f.delay = 30ms;
    engine->setFaults(f);
    looper.sendToEach(msg::statusRequest());
    engine->setFaults(Faults{});
    looper.sendToEach(msg::informationRequest());
    const auto messages = collector.waitFor(2);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0][4], 0x02);
    EXPECT_EQ(messages[1][4], 0x17);
}

TEST(InProcessLooper, ButtonPressReachesTheReceiver)
{
    auto engine = engineOnHandClock();
    Collector collector;  // outlives the looper, whose thread calls it
    InProcessLooper looper(engine);
    looper.setReceiver(collector.receiver());
    ASSERT_TRUE(engine->pressButton(2, 36));
    const auto messages = collector.waitFor(1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], test::hex("F0 00 02 33 18 02 24 00 F7"));
}

TEST(InProcessLooper, GoesAwayCleanlyWhileRepliesAndPressesAreInFlight)
{
    auto engine = engineOnHandClock();
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
    EXPECT_EQ(delivered.load(), seen) << "nothing is delivered once the looper is gone";
}

TEST(InProcessLooper, ReplacingTheReceiverFromInsideADeliveryDoesNotWait)
{
    Collector later;
    std::atomic<int> first{0};
    InProcessLooper looper(engineOnHandClock());
    looper.setReceiver([&](std::span<const std::uint8_t>) {
        first.fetch_add(1);
        looper.setReceiver(later.receiver());
    });
    looper.sendToEach(msg::statusRequest());
    looper.sendToEach(msg::informationRequest());
    const auto messages = later.waitFor(1);
    EXPECT_EQ(first.load(), 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0][4], 0x17);
}

TEST(DeliveryQueue, RunsActionsInPostingOrderAndDropsThemAfterStop)
{
    std::vector<int> order;
    std::mutex lock;
    std::condition_variable done;
    DeliveryQueue queue;
    queue.post(20ms, [&] { std::lock_guard g(lock); order.push_back(1); });
    queue.post(0ms, [&] { std::lock_guard g(lock); order.push_back(2); });
    queue.post(0ms, [&] {
        {
            std::lock_guard g(lock);
            order.push_back(3);
        }
        done.notify_all();
    });
    {
        std::unique_lock g(lock);
        done.wait_for(g, 5s, [&] { return order.size() == 3; });
    }
    queue.stop();
    queue.post(0ms, [&] { order.push_back(4); });
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(DeliveryQueue, StopEndsAFarAwayDelayAtOnce)
{
    bool ran = false;
    DeliveryQueue queue;
    queue.post(std::chrono::hours(1), [&] { ran = true; });
    queue.stop();  // would hang the test if it waited for the action
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace qx::sim
