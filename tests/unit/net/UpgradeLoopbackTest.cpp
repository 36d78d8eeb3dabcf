// The network upgrade thread against the stand-in looper on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>

#include "ConsoleRecorder.h"
#include "LoopbackLooper.h"
#include "RecordingLinkHost.h"
#include "WaitUntil.h"
#include "net/QXNetworkInterface.h"

namespace qx {
namespace {

using test::waitUntil;

const std::string kStatus = "<query>status compact</query>";

Bytes fileOf(std::size_t size)
{
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>((i * 31) ^ (i >> 9));
    return out;
}

class LoopbackUpgrade : public ::testing::Test {
protected:
    void SetUp() override
    {
        QXNetworkInterface::Options o;
        o.enumerate = [] { return std::vector<AddrPairs>{AddrPairs{{127, 0, 0, 1}, {127, 0, 0, 1}}}; };
        o.port = looper.port();
        link = std::make_unique<QXNetworkInterface>(host, o);
        host.setPollMIDI(false);
        link->start();
        ASSERT_TRUE(waitUntil([&] { return looper.count(kStatus) >= 1; }));
    }
    void TearDown() override { link->stop(); }

    bool ended() { return !host.outcomes().empty(); }
    // Index in the looper's journal of the first datagram that satisfies the test.
    template <typename F>
    std::size_t firstIndex(F test) const
    {
        const auto got = looper.received();
        return static_cast<std::size_t>(std::find_if(got.begin(), got.end(), test) - got.begin());
    }

    test::ConsoleRecorder console;
    test::RecordingLinkHost host;
    test::LoopbackLooper looper;
    std::unique_ptr<QXNetworkInterface> link;
};

TEST_F(LoopbackUpgrade, ServesTheWholeFileWhilePollingWaits)
{
    const Bytes file = fileOf(5000);
    ASSERT_EQ(link->startUpgrade(file), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return ended(); }));

    EXPECT_EQ(looper.image(), file);
    const auto outcomes = host.outcomes();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].success);
    EXPECT_EQ(outcomes[0].text, "Upgrade finished: 5000 bytes sent over the network");
    const auto progress = host.progress();
    ASSERT_EQ(progress.size(), 10u);
    EXPECT_DOUBLE_EQ(progress.front(), 512.0 / 5000.0);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 1.0);

    // No status query between the announcement and the last slice; polling
    // comes back afterwards.
    const auto got = looper.received();
    const std::size_t announced = firstIndex([](const auto& r) { return r.text() == "<command>upgrade 5000</command>"; });
    ASSERT_LT(announced, got.size());
    std::size_t lastSlice = announced;
    for (std::size_t i = announced; i < got.size(); ++i)
        if (got[i].bytes.size() >= 2 && got[i].bytes[0] == 0 && got[i].bytes[1] == 3) lastSlice = i;
    for (std::size_t i = announced; i < lastSlice; ++i) EXPECT_NE(got[i].text(), kStatus) << i;
    // The transfer has its own socket.
    EXPECT_FALSE(sameHostAndPort(got[announced].from, got.front().from));
    EXPECT_FALSE(link->pollingPausedNow());
    const std::size_t before = looper.count(kStatus);
    EXPECT_TRUE(waitUntil([&] { return looper.count(kStatus) > before; }));
}

TEST_F(LoopbackUpgrade, SurvivesDroppedAndDuplicatedAcknowledgements)
{
    looper.dropEveryNthAck = 4;
    looper.duplicateAcks = true;
    const Bytes file = fileOf(3 * 512 + 100);
    ASSERT_EQ(link->startUpgrade(file), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return ended(); }, std::chrono::seconds(20)));
    EXPECT_EQ(looper.image(), file);
    ASSERT_EQ(host.outcomes().size(), 1u);
    EXPECT_TRUE(host.outcomes()[0].success);
    EXPECT_EQ(host.progress().size(), 4u);  // one per slice, however often it was acknowledged
}

TEST_F(LoopbackUpgrade, SecondStartWhileRunningIsRefused)
{
    looper.ackSlicesUpTo = 1;  // holds the transfer at slice 2
    ASSERT_EQ(link->startUpgrade(fileOf(2000)), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return host.progress().size() == 1; }));
    EXPECT_EQ(link->startUpgrade(fileOf(10)), "Upgrade refused: an upgrade is already running");
    EXPECT_TRUE(link->pollingPausedNow());
    link->stop();
    // Stopping the link ends the transfer, and the host hears of it once.
    const auto outcomes = host.outcomes();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].success);
    EXPECT_EQ(outcomes[0].text, "Upgrade stopped: the link was shut down at slice 2 of 4");
}

TEST(NetworkUpgradeWithoutSocket, EndsOnceAndLetsPollingGoOn)
{
    test::ConsoleRecorder console;
    test::RecordingLinkHost host;
    test::LoopbackLooper looper;
    std::atomic<int> opened{0};
    QXNetworkInterface::Options o;
    o.enumerate = [] { return std::vector<AddrPairs>{AddrPairs{{127, 0, 0, 1}, {127, 0, 0, 1}}}; };
    o.port = looper.port();
    // The polling socket opens; the upgrade's own socket does not.
    o.openSocket = [&]() -> std::shared_ptr<UdpSocket> { return ++opened == 1 ? UdpSocket::open() : nullptr; };
    QXNetworkInterface link(host, o);
    host.setPollMIDI(false);
    link.start();
    ASSERT_TRUE(waitUntil([&] { return looper.count(kStatus) >= 1; }));

    ASSERT_EQ(link.startUpgrade(fileOf(1000)), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return !host.outcomes().empty(); }));
    EXPECT_EQ(host.outcomes().size(), 1u);
    EXPECT_FALSE(host.outcomes()[0].success);
    EXPECT_EQ(host.outcomes()[0].text, "Upgrade stopped: no socket for the upgrade");
    EXPECT_FALSE(link.pollingPausedNow());
    const std::size_t before = looper.count(kStatus);
    EXPECT_TRUE(waitUntil([&] { return looper.count(kStatus) > before; }));
    link.stop();
    for (const auto& text : looper.texts()) EXPECT_FALSE(text.starts_with("<command>")) << text;
}

TEST(NetworkUpgradeRefusal, NeedsAFoundLooper)
{
    test::RecordingLinkHost host;
    QXNetworkInterface link(host);
    EXPECT_EQ(link.startUpgrade(fileOf(100)), "Upgrade refused: no looper found on the network");
    EXPECT_EQ(link.startUpgrade(Bytes{}), "Upgrade refused: the file is empty");
    EXPECT_EQ(link.startUpgrade(Bytes(1'000'001)), "Upgrade refused: the file is longer than 1,000,000 bytes");
    EXPECT_TRUE(host.outcomes().empty());
    EXPECT_FALSE(link.pollingPausedNow());
}

}  // namespace
}  // namespace qx
