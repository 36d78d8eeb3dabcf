// The network link's threads against a stand-in looper on 127.0.0.1, with an
// interface list that names only 127.0.0.1.
#include <dirent.h>
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
const std::string kLog = "<query>log</query>";
const std::string kIdentity = "<query>id</query>";
const Bytes kSlice0Request{0xF0, 0x00, 0x02, 0x33, 0x14, 0x00, 0xF7};
const Bytes kSlice72Request{0xF0, 0x00, 0x02, 0x33, 0x14, 0x48, 0xF7};

std::vector<AddrPairs> loopbackOnly() { return {AddrPairs{{127, 0, 0, 1}, {127, 0, 0, 1}}}; }

bool contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class LoopbackLink : public ::testing::Test {
protected:
    QXNetworkInterface::Options options()
    {
        QXNetworkInterface::Options o;
        o.enumerate = loopbackOnly;
        o.port = looper.port();
        return o;
    }
    void handOver() { host.setPollMIDI(false); }

    test::ConsoleRecorder console;
    test::RecordingLinkHost host;
    test::LoopbackLooper looper;
};

TEST_F(LoopbackLink, FindsTheLooperAndPollsIt)
{
    QXNetworkInterface link(host, options());
    handOver();
    link.start();

    ASSERT_TRUE(waitUntil([&] { return looper.count(kLog) >= 3; }));
    EXPECT_EQ(host.deviceLines(), (std::vector<std::string>{"Loop - 127.0.0.1:" + std::to_string(looper.port())}));
    EXPECT_EQ(link.looperID(), "Loop");

    host.queue.enqueue(Bytes{0xF0, 0x00, 0x02, 0x33, 0x06, 0x05, 0xF7});
    ASSERT_TRUE(waitUntil([&] { return looper.count(kLog) >= 5; }));
    link.stop();

    const auto got = looper.received();
    ASSERT_GE(got.size(), 8u);
    EXPECT_EQ(got[0].text(), kIdentity);
    EXPECT_EQ(got[1].bytes, kSlice0Request);
    EXPECT_EQ(got[2].bytes, kSlice72Request);
    // Every later datagram is a status query followed by its log query, or
    // the queued command, all from the one socket that asked for the identity.
    bool commandSeen = false;
    for (std::size_t i = 3; i < got.size(); ++i) {
        EXPECT_TRUE(sameHostAndPort(got[i].from, got[0].from)) << i;
        if (got[i].bytes[0] == 0xF0) {
            EXPECT_EQ(got[i].bytes, (Bytes{0xF0, 0x00, 0x02, 0x33, 0x06, 0x05, 0xF7}));
            EXPECT_EQ(got[i - 1].text(), kLog);
            commandSeen = true;
        } else if (got[i].text() == kLog) {
            EXPECT_EQ(got[i - 1].text(), kStatus);
        } else {
            EXPECT_EQ(got[i].text(), kStatus) << i;
        }
    }
    EXPECT_TRUE(commandSeen);

    // The replies reached the host: tracks, selection and log text.
    ASSERT_FALSE(host.tracks().empty());
    EXPECT_EQ(host.tracks().back().size(), 4u);
    EXPECT_EQ(host.tracks().back()[0].length, 96000);
    EXPECT_EQ(host.selected().back(), 2);
    ASSERT_FALSE(host.log().empty());
    EXPECT_EQ(host.log().front(), "tick\n");
    EXPECT_FALSE(contains(console.lines(), "\"pollAttempts too many\""));
}

TEST_F(LoopbackLink, SilentLooperEndsTheLoopAndHandsTheLinkBack)
{
    looper.answerQueries = false;
    QXNetworkInterface link(host, options());
    handOver();
    link.start();

    ASSERT_TRUE(waitUntil([&] { return contains(console.lines(), "\"pollAttempts too many\""); }));
    ASSERT_TRUE(waitUntil([&] { return host.pollMIDI(); }));
    const auto sent = looper.received().size();
    EXPECT_EQ(looper.count(kStatus), 10u);
    EXPECT_EQ(looper.count(kLog), 10u);
    EXPECT_EQ(host.deviceLines().size(), 1u);
    // Back in MIDI's hands the link sends nothing more.
    link.stop();
    EXPECT_EQ(looper.received().size(), sent);
    EXPECT_TRUE(host.pollMIDI());
}

TEST_F(LoopbackLink, ListensOnlyToTheLooper)
{
    looper.answerQueries = false;
    QXNetworkInterface link(host, options());
    handOver();
    link.start();
    ASSERT_TRUE(waitUntil([&] { return looper.count(kStatus) >= 1; }));

    // Another program on this computer sends the link's socket a valid status
    // report and a log reply: neither may keep the loop alive or reach a model.
    test::LoopbackLooper stranger;
    const sockaddr_in linkSocket = looper.received().front().from;
    const std::string logReply = std::string("<log>intruder</log>") + '\0';
    for (int i = 0; i < 20 && !contains(console.lines(), "\"pollAttempts too many\""); ++i) {
        stranger.sendTo(test::CompactReport(4).bytes, linkSocket);
        stranger.sendTo(Bytes(logReply.begin(), logReply.end()), linkSocket);
        waitUntil([&] { return contains(console.lines(), "\"pollAttempts too many\""); }, std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(waitUntil([&] { return host.pollMIDI(); }));
    link.stop();
    EXPECT_TRUE(host.tracks().empty());
    EXPECT_TRUE(host.log().empty());
    EXPECT_EQ(looper.count(kStatus), 10u);
}

TEST_F(LoopbackLink, NoIdentityReplyMeansNoLooper)
{
    looper.answerIdentity = false;
    QXNetworkInterface link(host, options());
    handOver();
    link.start();
    ASSERT_TRUE(waitUntil([&] { return host.pollMIDI(); }));
    link.stop();
    EXPECT_EQ(looper.texts(), (std::vector<std::string>{kIdentity}));
    EXPECT_TRUE(host.deviceLines().empty());
    EXPECT_EQ(link.looperAddress(), std::nullopt);
}

TEST_F(LoopbackLink, RepliesOfAnotherFormAreNotALooper)
{
    looper.setIdentity("<ID>Loop</ID>");
    QXNetworkInterface link(host, options());
    handOver();
    link.start();
    ASSERT_TRUE(waitUntil([&] { return host.pollMIDI(); }));
    link.stop();
    EXPECT_EQ(looper.texts(), (std::vector<std::string>{kIdentity}));
    EXPECT_TRUE(host.deviceLines().empty());
}

TEST_F(LoopbackLink, NoInterfaceHandsTheLinkBackAtOnce)
{
    QXNetworkInterface::Options o = options();
    o.enumerate = [] { return std::vector<AddrPairs>{}; };
    QXNetworkInterface link(host, o);
    handOver();
    link.start();
    ASSERT_TRUE(waitUntil([&] { return host.pollMIDI(); }));
    link.stop();
    EXPECT_TRUE(looper.received().empty());
    EXPECT_TRUE(host.deviceLines().empty());
}

TEST_F(LoopbackLink, SocketThatCannotBeOpenedIsNoLooper)
{
    std::atomic<int> opened{0};
    QXNetworkInterface::Options o = options();
    o.openSocket = [&] {
        ++opened;
        return std::shared_ptr<UdpSocket>();
    };
    QXNetworkInterface link(host, o);
    handOver();
    link.start();
    ASSERT_TRUE(waitUntil([&] { return host.pollMIDI(); }));
    // The next hand-over starts a fresh pass that fails the same way.
    handOver();
    ASSERT_TRUE(waitUntil([&] { return opened.load() == 2 && host.pollMIDI(); }));
    link.stop();
    EXPECT_TRUE(looper.received().empty());
    EXPECT_TRUE(host.deviceLines().empty());
    link.sendToLooper(Bytes{0xF0, 0x00, 0x02, 0x33, 0x02, 0xF7});  // no socket: nothing happens
}

std::size_t openDescriptors()
{
    std::size_t n = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir)) ++n;
        ::closedir(dir);
    }
    return n;
}

TEST_F(LoopbackLink, PassesLeaveNoSocketBehind)
{
    looper.answerQueries = false;
    const std::size_t before = openDescriptors();
    {
        QXNetworkInterface link(host, options());
        link.start();
        for (int pass = 1; pass <= 2; ++pass) {
            handOver();
            ASSERT_TRUE(waitUntil([&] { return looper.count(kIdentity) == static_cast<std::size_t>(pass); }));
            ASSERT_TRUE(waitUntil([&] { return host.pollMIDI(); }));
        }
        link.stop();
    }
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(looper.count(kStatus), 20u);
}

TEST_F(LoopbackLink, StopEndsEveryThreadWhileSearching)
{
    looper.answerIdentity = false;
    QXNetworkInterface link(host, options());
    handOver();
    link.start();
    ASSERT_TRUE(waitUntil([&] { return looper.count(kIdentity) == 1; }));
    link.stop();  // returns although the identity receive has not timed out
    link.stop();  // and again without harm
    SUCCEED();
}

TEST_F(LoopbackLink, SendsToTheLooperOnlyOnceFound)
{
    QXNetworkInterface link(host, options());
    const Bytes message{0xF0, 0x00, 0x02, 0x33, 0x06, 0x07, 0xF7};
    link.sendToLooper(message);  // nothing found yet
    handOver();
    link.start();
    ASSERT_TRUE(waitUntil([&] { return looper.count(kStatus) >= 1; }));
    link.sendToLooper(message);
    ASSERT_TRUE(waitUntil([&] {
        const auto got = looper.received();
        return std::any_of(got.begin(), got.end(), [&](const auto& r) { return r.bytes == message; });
    }));
    link.stop();
    std::size_t copies = 0;
    for (const auto& r : looper.received()) copies += r.bytes == message;
    EXPECT_EQ(copies, 1u);
}

}  // namespace
}  // namespace qx
