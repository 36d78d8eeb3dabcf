// The network link's threads against a stand-in looper on 127.0.0.1, with an
// interface list that names only 127.0.0.1.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "LoopbackLooper.h"
#include "RecordingLinkHost.h"
#include "WaitUntil.h"
#include "net/QXNetworkInterface.h"
#include "support/ConsoleCapture.h"

namespace qx {
namespace {

using test::waitUntil;

const std::string kStatus = "<query>status compact</query>";
const std::string kLog = "<query>log</query>";
const std::string kIdentity = "<query>id</query>";
const std::string kTooMany = "\"pollAttempts too many\"";

bool contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class LoopbackLink : public ::testing::Test {
protected:
    QXNetworkInterface::Options options()
    {
        QXNetworkInterface::Options o;
        o.enumerate = [] { return std::vector<AddrPairs>{AddrPairs{{127, 0, 0, 1}, {127, 0, 0, 1}}}; };
        o.port = looper.port();
        return o;
    }
    // Starts the link with the transport already handed over by MIDI.
    std::unique_ptr<QXNetworkInterface> started(const QXNetworkInterface::Options& o)
    {
        auto link = std::make_unique<QXNetworkInterface>(host, o);
        host.setPollMIDI(false);
        link->start();
        return link;
    }

    test::ConsoleCapture console;
    test::RecordingLinkHost host;
    test::LoopbackLooper looper;
};

TEST_F(LoopbackLink, FindsTheLooperThenPollsAndSendsFromOneSocket)
{
    const Bytes command{0xF0, 0x00, 0x02, 0x33, 0x06, 0x05, 0xF7};
    auto link = std::make_unique<QXNetworkInterface>(host, options());
    link->sendToLooper(command);  // nothing found yet: goes nowhere
    host.setPollMIDI(false);
    link->start();
    ASSERT_TRUE(waitUntil([&] { return looper.count(kLog) >= 3; }));
    EXPECT_EQ(host.deviceLines(), (std::vector<std::string>{"Loop - 127.0.0.1:" + std::to_string(looper.port())}));
    EXPECT_EQ(link->looperID(), "Loop");
    host.queue.enqueue(command);
    ASSERT_TRUE(waitUntil([&] { return looper.count(kLog) >= 5; }));
    link->stop();

    const auto got = looper.received();
    ASSERT_GE(got.size(), 8u);
    EXPECT_EQ(got[0].text(), kIdentity);
    EXPECT_EQ(got[1].bytes, (Bytes{0xF0, 0x00, 0x02, 0x33, 0x14, 0x00, 0xF7}));
    EXPECT_EQ(got[2].bytes, (Bytes{0xF0, 0x00, 0x02, 0x33, 0x14, 0x48, 0xF7}));
    // Then a status query and its log query per pass, the command between passes.
    std::size_t commands = 0;
    std::vector<std::string> queries;
    for (std::size_t i = 3; i < got.size(); ++i) {
        EXPECT_TRUE(sameHostAndPort(got[i].from, got[0].from)) << i;
        if (got[i].bytes != command) queries.push_back(got[i].text());
        else {
            ++commands;
            EXPECT_EQ(got[i - 1].text(), kLog);
        }
    }
    for (std::size_t i = 0; i < queries.size(); ++i) EXPECT_EQ(queries[i], i % 2 ? kLog : kStatus) << i;
    EXPECT_EQ(commands, 1u);
    ASSERT_FALSE(host.tracks().empty());
    EXPECT_EQ(host.tracks().back()[0].length, 96000);
    EXPECT_EQ(host.selected().back(), 2);
    ASSERT_FALSE(host.log().empty());
    EXPECT_EQ(host.log().front(), "tick\n");
    EXPECT_FALSE(contains(console.lines(), kTooMany));
}

TEST_F(LoopbackLink, OnlyTheLooperAnswersAndTenSilentPassesHandTheLinkBack)
{
    looper.answerQueries = false;
    auto link = started(options());
    ASSERT_TRUE(waitUntil([&] { return looper.count(kStatus) >= 1; }));
    // Another program on this computer sends the link's socket a valid report
    // and a log reply: neither may keep the loop alive or reach a model.
    test::LoopbackLooper stranger;
    const std::string logReply = std::string("<log>intruder</log>") + '\0';
    for (int i = 0; i < 20 && !host.pollMIDI(); ++i) {
        stranger.sendTo(test::CompactReport(4).bytes, looper.received().front().from);
        stranger.sendTo(Bytes(logReply.begin(), logReply.end()), looper.received().front().from);
        waitUntil([&] { return host.pollMIDI(); }, std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(waitUntil([&] { return host.pollMIDI(); }));
    EXPECT_TRUE(contains(console.lines(), kTooMany));
    const auto sent = looper.received().size();
    link->stop();
    EXPECT_EQ(looper.received().size(), sent);  // back in MIDI's hands the link sends nothing more
    EXPECT_EQ(looper.count(kStatus), 10u);
    EXPECT_EQ(looper.count(kLog), 10u);
    EXPECT_TRUE(host.tracks().empty());
    EXPECT_TRUE(host.log().empty());
}

TEST_F(LoopbackLink, WithoutALooperThePassHandsTheLinkBackAtOnce)
{
    struct Row {
        const char* what;
        const char* identity;
        bool interface;
        bool socket;
    };
    for (const Row row : {Row{"no identity reply", nullptr, true, true}, Row{"another form", "<ID>Loop</ID>", true, true},
                          Row{"no interface", "<id>Loop</id>", false, true},
                          Row{"no socket", "<id>Loop</id>", true, false}}) {
        test::RecordingLinkHost quiet;
        test::LoopbackLooper unit;
        unit.identity = row.identity;
        QXNetworkInterface::Options o = options();
        o.port = unit.port();
        if (!row.interface) o.enumerate = [] { return std::vector<AddrPairs>{}; };
        if (!row.socket) o.openSocket = [] { return std::shared_ptr<UdpSocket>(); };
        QXNetworkInterface link(quiet, o);
        quiet.setPollMIDI(false);
        link.start();
        ASSERT_TRUE(waitUntil([&] { return quiet.pollMIDI(); })) << row.what;
        link.stop();
        EXPECT_EQ(unit.received().size(), row.interface && row.socket ? 1u : 0u) << row.what;
        EXPECT_TRUE(quiet.deviceLines().empty()) << row.what;
        EXPECT_EQ(link.looperAddress(), std::nullopt) << row.what;
    }
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

TEST_F(LoopbackLink, PassesLeaveNoSocketBehindAndStopIsPrompt)
{
    looper.answerQueries = false;
    const std::size_t before = openDescriptors();
    {
        auto link = started(options());
        for (std::size_t pass = 1; pass <= 2; ++pass) {
            ASSERT_TRUE(waitUntil([&] { return looper.count(kIdentity) == pass && host.pollMIDI(); }));
            if (pass == 1) host.setPollMIDI(false);
        }
        link->stop();
    }
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(looper.count(kStatus), 20u);

    looper.identity = nullptr;
    auto link = started(options());
    ASSERT_TRUE(waitUntil([&] { return looper.count(kIdentity) == 3; }));
    link->stop();  // returns although the identity receive has not timed out
    link->stop();  // and again without harm
}

TEST(NetworkUpgrade, RefusesWithoutLooperOrFitFile)
{
    test::RecordingLinkHost host;
    QXNetworkInterface link(host);
    EXPECT_EQ(link.startUpgrade(Bytes(100)), "Upgrade refused: no looper found on the network");
    EXPECT_EQ(link.startUpgrade(Bytes{}), "Upgrade refused: the file is empty");
    EXPECT_EQ(link.startUpgrade(Bytes(1'000'001)), "Upgrade refused: the file is longer than 1,000,000 bytes");
    EXPECT_TRUE(host.outcomes().empty());
    EXPECT_FALSE(link.pollingPausedNow());
}

TEST_F(LoopbackLink, UpgradeWithoutItsSocketEndsOnceAndPollingGoesOn)
{
    std::atomic<int> opened{0};
    QXNetworkInterface::Options o = options();
    // The polling socket opens; the upgrade's own socket does not.
    o.openSocket = [&]() -> std::shared_ptr<UdpSocket> { return ++opened == 1 ? UdpSocket::open() : nullptr; };
    auto link = started(o);
    ASSERT_TRUE(waitUntil([&] { return looper.count(kStatus) >= 1; }));
    ASSERT_EQ(link->startUpgrade(Bytes(1000)), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return !host.outcomes().empty(); }));
    EXPECT_EQ(host.outcomes().size(), 1u);
    EXPECT_FALSE(host.outcomes()[0].success);
    EXPECT_EQ(host.outcomes()[0].text, "Upgrade stopped: no socket for the upgrade");
    EXPECT_FALSE(link->pollingPausedNow());
    const std::size_t before = looper.count(kStatus);
    EXPECT_TRUE(waitUntil([&] { return looper.count(kStatus) > before; }));
    link->stop();
    for (const auto& r : looper.received()) EXPECT_FALSE(r.text().starts_with("<command>")) << r.text();
}

}  // namespace
}  // namespace qx
