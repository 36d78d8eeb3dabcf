// The polling loop walked by hand: what each step sends and how long it asks
// to pause before the next. The order of a whole pass on the wire (commands,
// settings requests, status and log queries) is checked in NetworkLinkTest.
#include <gtest/gtest.h>

#include <utility>

#include "net/NetPollCycle.h"
#include "support/Hex.h"
#include "support/SessionUnderTest.h"

namespace qx {
namespace {

using test::hex;

struct Step {
    double pause;
    Bytes sent;  // empty when nothing was sent
    bool operator==(const Step&) const = default;
};

Bytes bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }
Bytes gate(std::uint8_t level) { return {0xF0, 0x00, 0x02, 0x33, 0x06, level, 0xF7}; }
const Step kStatus{0.05, bytes("<query>status compact</query>")};
const Step kLog{0.1, bytes("<query>log</query>")};

TEST(NetPollCycleWalk, StatusAndLogAlternateUntilTenGoUnansweredAndCommandsOrPausesDelayThem)
{
    test::SessionUnderTest panel;
    LinkArbiter& arbiter = panel.session.arbiter();
    std::atomic<bool> paused{false};
    Bytes sent;
    NetPollCycle cycle{panel.session.linkHost(), paused,
                       [&](std::span<const std::uint8_t> b) { sent.assign(b.begin(), b.end()); }};
    const auto step = [&] { return Step{cycle.step().count(), std::exchange(sent, {})}; };
    // Only a valid report resets the count; which reports do is the net_datagram fuzz target's check.
    for (int pass = 1; pass <= 9; ++pass) {
        EXPECT_TRUE(step() == kStatus && step() == kLog) << pass;
        EXPECT_TRUE(arbiter.unanswered(Transport::network) == pass && cycle.keepPolling()) << pass;
    }
    // While an upgrade pauses polling nothing is sent or counted; commands wait,
    // and however many wait they delay the queries without ending the loop.
    paused.store(true);
    for (std::uint8_t i = 0; i < 50; ++i) panel.commands().enqueue(gate(i));
    for (int i = 0; i < 100; ++i) EXPECT_EQ(step(), (Step{1.0, {}}));
    paused.store(false);
    // The QX2 banks go first: the request, then the write of both banks in one datagram.
    panel.session.edits().changeEffect(2, 7, 2103);
    panel.session.linkHost().effects.requestWrite();
    panel.session.edits().askForEffects();
    EXPECT_EQ(step(), (Step{0.05, hex("F0 00 02 33 09 F7")}));
    std::string empty;  // fifteen empty slots, then 2103
    for (int i = 0; i < 15; ++i) empty += "7F 7F ";
    EXPECT_EQ(step(), (Step{0.05, hex("F0 00 02 33 0A 08 " + empty + "10 37 F7")}));
    for (std::uint8_t i = 0; i < 50; ++i) EXPECT_TRUE(step() == (Step{0.05, gate(i)}) && cycle.keepPolling()) << +i;
    EXPECT_EQ(arbiter.unanswered(Transport::network), 9);
    EXPECT_EQ(step(), kStatus);
    EXPECT_TRUE(cycle.keepPolling());  // the pass is not over before its log query
    EXPECT_EQ(step(), kLog);
    EXPECT_FALSE(cycle.keepPolling());
}

}  // namespace
}  // namespace qx
