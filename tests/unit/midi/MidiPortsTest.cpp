// The receive ring the MIDI system's real-time thread writes into, and the
// follower that joins the panel to ports as they come and go.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "midi/EventRing.h"
#include "midi/MidiPortFollower.h"
#include "support/Hex.h"

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

}  // namespace
}  // namespace qx
