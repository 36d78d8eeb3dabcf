// The receive ring the MIDI system's real-time thread writes into, and the
// follower that joins the panel to ports as they come and go.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>

#include "midi/EventRing.h"
#include "midi/MidiBackend.h"
#include "midi/MidiPortFollower.h"
#include "midi/SystemMidiEndpoints.h"
#include "support/Hex.h"
#include "support/WaitUntil.h"

namespace qx {
namespace {

using test::hex;

Bytes popEvent(EventRing& ring)
{
    std::size_t size = 0;
    if (!ring.peekSize(size)) return {0xEE};  // nothing: never a real event
    Bytes event(size);
    ring.pop(event);
    return event;
}

// A full ring drops whole events and counts them; the next event that fits
// comes after a gap (an empty event), and events stay whole across the wrap.
TEST(EventRing, DropsWholeEventsWhenFullAndMarksTheGap)
{
    EventRing ring(64);
    const Bytes event = hex("F0 01 02 03 04 05 06 07 08 09 0A 0B F7");  // 4 + 13 bytes a slot
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(ring.push(event));
    EXPECT_FALSE(ring.push(event));
    EXPECT_FALSE(ring.push(hex("F8 F8 F8 F8 F8 F8 F8 F8 F8 F8")));
    EXPECT_EQ(ring.dropped(), 2u);

    EXPECT_EQ(popEvent(ring), event);
    EXPECT_TRUE(ring.push(hex("F0 7E F7")));  // the gap and this event fit in what was freed
    EXPECT_EQ(popEvent(ring), event);
    EXPECT_EQ(popEvent(ring), event);
    EXPECT_EQ(popEvent(ring), Bytes{});
    EXPECT_EQ(popEvent(ring), hex("F0 7E F7"));
    EXPECT_EQ(popEvent(ring), Bytes{0xEE});

    for (int round = 0; round < 20; ++round) {
        const Bytes varying(static_cast<std::size_t>(1 + round % 7), static_cast<std::uint8_t>(round));
        ASSERT_TRUE(ring.push(varying));
        ASSERT_EQ(popEvent(ring), varying);
    }
}

class FakeDirectory final : public MidiPortDirectory {
public:
    std::vector<std::string> listSources() override { return sources; }
    std::vector<std::string> listDestinations() override { return destinations; }
    // A joined port stays joined until it vanishes or is left, as in JACK.
    bool joinSource(const std::string& port) override { return join(port, joinedSources); }
    bool joinDestination(const std::string& port) override { return join(port, joinedDestinations); }
    void leaveSource(const std::string& port) override { joinedSources.erase(port); }
    void leaveDestination(const std::string& port) override { joinedDestinations.erase(port); }
    void unplug(const std::string& device)
    {
        for (auto* list : {&sources, &destinations})
            std::erase_if(*list, [&](const std::string& p) { return MidiPortFollower::deviceOf(p) == device; });
        for (auto* joined : {&joinedSources, &joinedDestinations})
            std::erase_if(*joined, [&](const std::string& p) { return MidiPortFollower::deviceOf(p) == device; });
    }

    std::vector<std::string> sources, destinations;
    std::set<std::string> joinedSources, joinedDestinations;

private:
    bool join(const std::string& port, std::set<std::string>& joined)
    {
        if (std::find(sources.begin(), sources.end(), port) == sources.end() &&
            std::find(destinations.begin(), destinations.end(), port) == destinations.end())
            return false;
        joined.insert(port);
        return true;
    }
};

using Names = std::vector<std::string>;

TEST(MidiPortFollower, JoinsPortsAsTheyComeKeepsOwnAndThroughOutAndRejoinsAReplug)
{
    FakeDirectory system;
    system.sources = {"REDOVIVevorev:REDOVIVevorev_OutPort", "REDOVIVevorev-01:REDOVIVevorev_OutPort",
                      "Midi Through:Midi Through Port-0", "Synth:out"};
    system.destinations = {"REDOVIVevorev:REDOVIVevorev_InPort", "Synth:in"};
    MidiPortFollower follower(system, "REDOVIVevorev", "");
    EXPECT_TRUE(follower.refresh());
    EXPECT_EQ(follower.sources(), Names{"Synth:out"});
    EXPECT_EQ(follower.destinations(), Names{"Synth:in"});
    EXPECT_EQ(follower.devices(), Names{"Synth"});
    EXPECT_FALSE(follower.refresh()) << "nothing changed";

    // The looper plugged in after the start; JACK names its second client "-01".
    system.sources.push_back("QX Looper Sim:QX Looper Sim");
    system.destinations.push_back("QX Looper Sim-01:QX Looper Sim");
    EXPECT_TRUE(follower.refresh());
    EXPECT_EQ(follower.destinations(), (Names{"Synth:in", "QX Looper Sim-01:QX Looper Sim"}));
    EXPECT_EQ(follower.devices(), (Names{"QX Looper Sim", "Synth"}));

    // Unplugged and plugged back between two refreshes: joined again.
    system.unplug("QX Looper Sim-01");
    system.destinations.push_back("QX Looper Sim-01:QX Looper Sim");
    EXPECT_FALSE(follower.refresh());
    EXPECT_TRUE(system.joinedDestinations.count("QX Looper Sim-01:QX Looper Sim"));

    system.unplug("Synth");
    EXPECT_TRUE(follower.refresh());
    EXPECT_EQ(follower.sources(), Names{"QX Looper Sim:QX Looper Sim"});
    EXPECT_EQ(follower.devices(), Names{"QX Looper Sim"});
}

TEST(MidiPortFollower, AChosenDeviceKeepsEveryOtherInstrumentOut)
{
    FakeDirectory system;
    system.sources = {"Synth:out", "QX Looper Sim:QX Looper Sim"};
    system.destinations = {"Synth:in", "QX Looper Sim-01:QX Looper Sim"};
    MidiPortFollower follower(system, "REDOVIVevorev", "QX Looper Sim");
    follower.refresh();
    EXPECT_EQ(follower.sources(), Names{"QX Looper Sim:QX Looper Sim"});
    EXPECT_EQ(follower.destinations(), Names{"QX Looper Sim-01:QX Looper Sim"});
    EXPECT_EQ(system.joinedDestinations, std::set<std::string>{"QX Looper Sim-01:QX Looper Sim"});
    EXPECT_EQ(follower.devices(), (Names{"QX Looper Sim", "Synth"})) << "the menu still offers every device";

    follower.choose("Synth");
    EXPECT_TRUE(follower.refresh());
    EXPECT_EQ(system.joinedDestinations, std::set<std::string>{"Synth:in"}) << "the looper was let go";
    follower.choose("");
    follower.refresh();
    EXPECT_EQ(system.joinedSources.size(), 2u);
}

// A MIDI system of the test's: its input thread is the test itself.
class FakeBackend final : public MidiBackend {
public:
    bool activate(Hooks given) override { return hooks.emplace(given), true; }
    void close() override {}
    bool send(std::span<const std::uint8_t>) override { return true; }
    std::vector<std::string> listSources() override { return ports.listSources(); }
    std::vector<std::string> listDestinations() override { return ports.listDestinations(); }
    bool joinSource(const std::string& port) override { return ports.joinSource(port); }
    bool joinDestination(const std::string& port) override { return ports.joinDestination(port); }
    void leaveSource(const std::string& port) override { ports.leaveSource(port); }
    void leaveDestination(const std::string& port) override { ports.leaveDestination(port); }

    FakeDirectory ports;
    std::optional<Hooks> hooks;
};

// While the receive thread is busy the ring fills; the event that did not fit
// reaches the receiver as a gap (0xF4, which drops the message it cut) before
// the next one. A port that comes wakes the follower, which joins it.
TEST(SystemMidiEndpoints, AFullRingIsAGapAndAPortThatComesIsJoined)
{
    auto owned = std::make_unique<FakeBackend>();
    FakeBackend& system = *owned;
    auto endpoints = makeMidiEndpoints(std::move(owned), {});
    std::mutex lock;
    std::condition_variable released;
    bool held = true;
    std::vector<Bytes> events;
    endpoints->setReceiver([&](std::span<const std::uint8_t> bytes) {
        std::unique_lock guard(lock);
        released.wait(guard, [&] { return !held; });
        events.emplace_back(bytes.begin(), bytes.end());
    });
    const Bytes chunk(4096, 0x11);
    system.hooks->input.push(hex("F0 01"));
    system.hooks->received.post();
    int pushed = 0;
    while (pushed < 1000 && system.hooks->input.push(chunk)) ++pushed;
    ASSERT_LT(pushed, 1000) << "the ring never filled";
    system.hooks->input.push(hex("F0 05 F7"));
    {
        std::lock_guard guard(lock);
        held = false;
    }
    released.notify_all();
    system.hooks->received.post();
    ASSERT_TRUE(test::waitUntil([&] {
        std::lock_guard guard(lock);
        return !events.empty() && events.back() == hex("F0 05 F7");
    }));
    {
        // Not held below: a delivery takes this lock inside the endpoints' own.
        std::lock_guard guard(lock);
        ASSERT_EQ(events.size(), static_cast<std::size_t>(pushed) + 3);
        EXPECT_EQ(events.end()[-2], Bytes{0xF4});
    }

    std::vector<std::string> heard;
    std::mutex heardLock;
    endpoints->setDevicesListener([&](std::vector<std::string> devices) {
        std::lock_guard g(heardLock);
        heard = std::move(devices);
    });
    system.ports.destinations.push_back("QX Looper Sim:in");
    system.hooks->portsChanged.post();
    EXPECT_TRUE(test::waitUntil([&] { return endpoints->destinationNames() == Names{"QX Looper Sim:in"}; }));
    EXPECT_TRUE(test::waitUntil([&] {
        std::lock_guard g(heardLock);
        return heard == Names{"QX Looper Sim"};
    }));
    endpoints->setReceiver(nullptr);
    endpoints->setDevicesListener(nullptr);
}

}  // namespace
}  // namespace qx
