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

class NetPollCycleWalk : public ::testing::Test {
protected:
    Step step()
    {
        sent_.clear();
        const double pause = cycle.step().count();
        return {sent_, pause};
    }
    void enqueue(std::uint8_t type, std::uint8_t value)
    {
        const std::string c = command(type, value);
        host.queue.enqueue(Bytes(c.begin(), c.end()));
    }

    test::RecordingLinkHost host;
    QXNetworkInterface link{host};
    std::string sent_;
    NetPollCycle cycle{link, host, [this](std::span<const std::uint8_t> b) { sent_.assign(b.begin(), b.end()); }};
};

TEST_F(NetPollCycleWalk, SettingsRequestsFirstThenStatusAndLogAlternateUntilTenGoUnanswered)
{
    enqueue(0x06, 5);  // queued before the loop began
    cycle.queueSettingsRequests();
    EXPECT_EQ(step(), (Step{command(0x06, 5), 0.05}));
    EXPECT_EQ(step(), (Step{command(0x14, 0x00), 0.05}));
    EXPECT_EQ(step(), (Step{command(0x14, 0x48), 0.05}));
    EXPECT_EQ(link.pollAttemptsNow(), 0);  // commands are not status queries

    for (int pass = 1; pass <= 5; ++pass) {
        EXPECT_EQ(step(), kStatus);
        EXPECT_EQ(link.pollAttemptsNow(), pass);
        EXPECT_EQ(step(), kLog);
    }
    link.resetPollAttempts();  // what a valid status report does
    for (int pass = 1; pass <= 9; ++pass) {
        EXPECT_EQ(step(), kStatus);
        EXPECT_EQ(step(), kLog);
        EXPECT_TRUE(cycle.keepPolling()) << pass;
    }
    // However many commands wait, they delay the queries without ending the loop.
    for (std::uint8_t i = 0; i < 50; ++i) enqueue(0x06, i);
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

TEST_F(NetPollCycleWalk, PausedPollingSendsAndCountsNothing)
{
    for (int i = 0; i < 8; ++i) {
        step();
        step();
    }
    link.setPollingPaused(true);
    enqueue(0x06, 2);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(step(), (Step{"", 1.0}));
        EXPECT_TRUE(cycle.keepPolling());
    }
    EXPECT_EQ(link.pollAttemptsNow(), 8);
    EXPECT_EQ(host.queue.count(), 1u);

    link.setPollingPaused(false);
    EXPECT_EQ(step().sent, command(0x06, 2));
    EXPECT_EQ(step(), kStatus);
}

}  // namespace
}  // namespace qx
