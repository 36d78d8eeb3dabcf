// The polling loop walked by hand: what each step sends and how long it asks
// to pause before the next.
#include <gtest/gtest.h>

#include "RecordingLinkHost.h"
#include "net/NetPollCycle.h"
#include "net/QXNetworkInterface.h"

namespace qx {
namespace {

struct Step {
    std::string sent;  // "" when nothing was sent
    double pause;
    bool operator==(const Step&) const = default;
};

std::string command(std::uint8_t type, std::uint8_t value) { return {'\xF0', 0, 2, 0x33, char(type), char(value), '\xF7'}; }
const Step kStatus{"<query>status compact</query>", 0.05};
const Step kLog{"<query>log</query>", 0.1};

TEST(NetPollCycleWalk, SettingsRequestsFirstThenStatusAndLogAlternateUntilTenGoUnanswered)
{
    test::RecordingLinkHost host;
    QXNetworkInterface link{host};
    std::string sent;
    NetPollCycle cycle{link, host, [&](std::span<const std::uint8_t> b) { sent.assign(b.begin(), b.end()); }};
    const auto step = [&] {
        sent.clear();
        const double pause = cycle.step().count();
        return Step{sent, pause};
    };
    const auto enqueue = [&](std::uint8_t value) {
        const std::string c = command(0x06, value);
        host.queue.enqueue(Bytes(c.begin(), c.end()));
    };

    enqueue(5);  // queued before the loop began
    cycle.queueSettingsRequests();
    EXPECT_EQ(step(), (Step{command(0x06, 5), 0.05}));
    EXPECT_EQ(step(), (Step{command(0x14, 0x00), 0.05}));
    EXPECT_EQ(step(), (Step{command(0x14, 0x48), 0.05}));
    for (int pass = 1; pass <= 14; ++pass) {
        if (pass == 6) link.resetPollAttempts();  // what a valid status report does
        EXPECT_EQ(step(), kStatus);
        EXPECT_EQ(link.pollAttemptsNow(), pass <= 5 ? pass : pass - 5);  // commands were not counted
        EXPECT_EQ(step(), kLog);
        EXPECT_TRUE(cycle.keepPolling()) << pass;
    }
    // While an upgrade pauses polling nothing is sent or counted; commands wait.
    link.setPollingPaused(true);
    for (std::uint8_t i = 0; i < 50; ++i) enqueue(i);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(step(), (Step{"", 1.0}));
    EXPECT_EQ(host.queue.count(), 50u);
    link.setPollingPaused(false);
    // However many commands wait, they delay the queries without ending the loop.
    for (std::uint8_t i = 0; i < 50; ++i) {
        EXPECT_EQ(step(), (Step{command(0x06, i), 0.05}));
        EXPECT_TRUE(cycle.keepPolling());
    }
    EXPECT_EQ(link.pollAttemptsNow(), 9);
    EXPECT_EQ(step(), kStatus);
    EXPECT_TRUE(cycle.keepPolling());  // the pass is not over before its log query
    EXPECT_EQ(step(), kLog);
    EXPECT_FALSE(cycle.keepPolling());
}

}  // namespace
}  // namespace qx
