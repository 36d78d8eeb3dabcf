#include <gtest/gtest.h>

#include <string>

#include "RecordingLinkHost.h"
#include "net/NetPollCycle.h"
#include "net/QXNetworkInterface.h"

namespace qx {
namespace {

// Walks the polling loop by hand: what each step sends and how long it asks
// to pause before the next.
class NetPollCycleWalk : public ::testing::Test {
protected:
    struct Step {
        std::string sent;  // the datagram as text ("" when nothing was sent)
        double pause;
        bool operator==(const Step&) const = default;
    };

    Step step()
    {
        sent_.clear();
        const double pause = cycle.step().count();
        return {sent_, pause};
    }
    static std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

    test::RecordingLinkHost host;
    QXNetworkInterface link{host};
    std::string sent_;
    NetPollCycle cycle{link, host, [this](std::span<const std::uint8_t> bytes) {
                           sent_.assign(bytes.begin(), bytes.end());
                       }};
};

const std::string kStatus = "<query>status compact</query>";
const std::string kLog = "<query>log</query>";

TEST_F(NetPollCycleWalk, SettingsRequestsGoFirstThenStatusAndLogAlternate)
{
    host.queue.enqueue(Bytes{0xF0, 0x00, 0x02, 0x33, 0x06, 0x05, 0xF7});  // queued before the loop began
    cycle.queueSettingsRequests();

    EXPECT_EQ(step(), (Step{text({0xF0, 0x00, 0x02, 0x33, 0x06, 0x05, 0xF7}), 0.05}));
    EXPECT_EQ(step(), (Step{text({0xF0, 0x00, 0x02, 0x33, 0x14, 0x00, 0xF7}), 0.05}));
    EXPECT_EQ(step(), (Step{text({0xF0, 0x00, 0x02, 0x33, 0x14, 0x48, 0xF7}), 0.05}));
    EXPECT_EQ(link.pollAttemptsNow(), 0);  // commands are not status queries
    for (int pass = 1; pass <= 3; ++pass) {
        EXPECT_EQ(step(), (Step{kStatus, 0.05}));
        EXPECT_EQ(link.pollAttemptsNow(), pass);
        EXPECT_TRUE(cycle.keepPolling());
        EXPECT_EQ(step(), (Step{kLog, 0.1}));
    }
}

TEST_F(NetPollCycleWalk, QueuedCommandsDelayQueriesWithoutEndingTheLoop)
{
    for (int i = 0; i < 9; ++i) {
        step();
        step();
    }
    ASSERT_EQ(link.pollAttemptsNow(), 9);
    for (std::uint8_t i = 0; i < 50; ++i) host.queue.enqueue(Bytes{0xF0, 0x00, 0x02, 0x33, 0x06, i, 0xF7});
    for (std::uint8_t i = 0; i < 50; ++i) {
        const Step s = step();
        EXPECT_EQ(s.sent, text({0xF0, 0x00, 0x02, 0x33, 0x06, i, 0xF7}));
        EXPECT_EQ(s.pause, 0.05);
        EXPECT_TRUE(cycle.keepPolling());
    }
    EXPECT_EQ(link.pollAttemptsNow(), 9);
}

TEST_F(NetPollCycleWalk, TenUnansweredStatusQueriesEndTheLoopAfterTheLogQuery)
{
    for (int pass = 1; pass <= 9; ++pass) {
        step();
        step();
        ASSERT_TRUE(cycle.keepPolling());
    }
    EXPECT_EQ(step(), (Step{kStatus, 0.05}));
    EXPECT_TRUE(cycle.keepPolling());  // the pass is not over before its log query
    EXPECT_EQ(step(), (Step{kLog, 0.1}));
    EXPECT_FALSE(cycle.keepPolling());
}

TEST_F(NetPollCycleWalk, AnAnswerKeepsTheLoopAlive)
{
    for (int pass = 1; pass <= 9; ++pass) {
        step();
        step();
    }
    link.resetPollAttempts();  // what a valid status report does
    for (int pass = 1; pass <= 9; ++pass) {
        step();
        step();
        EXPECT_TRUE(cycle.keepPolling());
    }
}

TEST_F(NetPollCycleWalk, PausedPollingSendsAndCountsNothing)
{
    host.queue.enqueue(Bytes{0xF0, 0x00, 0x02, 0x33, 0x06, 0x01, 0xF7});
    step();  // status query is not sent: the queued command goes first
    for (int i = 0; i < 8; ++i) {
        step();
        step();
    }
    ASSERT_EQ(link.pollAttemptsNow(), 8);
    link.setPollingPaused(true);
    host.queue.enqueue(Bytes{0xF0, 0x00, 0x02, 0x33, 0x06, 0x02, 0xF7});
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(step(), (Step{"", 1.0}));
        EXPECT_TRUE(cycle.keepPolling());
    }
    EXPECT_EQ(link.pollAttemptsNow(), 8);
    EXPECT_EQ(host.queue.count(), 1u);

    link.setPollingPaused(false);
    EXPECT_EQ(step().sent, text({0xF0, 0x00, 0x02, 0x33, 0x06, 0x02, 0xF7}));
    EXPECT_EQ(step(), (Step{kStatus, 0.05}));
}

}  // namespace
}  // namespace qx
