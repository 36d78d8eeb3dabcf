// The network link in the panel's namespace (qxA, 10.77.0.1) against
// qx-looper-sim in the looper's namespace (qxB, 10.77.0.2), joined by a veth
// pair. This binary is started with "ip netns exec qxA".
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "NamespaceGuard.h"
#include "RecordingLinkHost.h"
#include "SimulatedLooper.h"
#include "WaitUntil.h"
#include "net/QXNetworkInterface.h"
#include "support/ConsoleCapture.h"
#include "support/Hex.h"

namespace qx::test {
namespace {

using namespace std::chrono_literals;

const std::string kIdQuery = "rx udp <query>id</query>";
const std::string kStatusQuery = "rx udp <query>status compact</query>";
const std::string kLogQuery = "rx udp <query>log</query>";

class NetnsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(insideNamespace(QX_PANEL_NETNS)) << "run this binary with: ip netns exec " << QX_PANEL_NETNS;
        sim = std::make_unique<SimulatedLooper>(std::vector<std::string>{
            "ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "0.0.0.0", "--journal", "--name", "QXnetns"});
        ASSERT_TRUE(sim->ready()) << "the simulator did not come up in " << QX_LOOPER_NETNS;
    }
    void TearDown() override
    {
        if (link) link->stop();
    }
    // Starts the link with the transport already handed over by MIDI.
    void startLink()
    {
        QXNetworkInterface::Options options;
        options.enumerate = testSubnetInterfaces;
        host.setPollMIDI(false);
        link = std::make_unique<QXNetworkInterface>(host, options);
        link->start();
    }
    bool journalReaches(const std::string& line, std::size_t count, std::chrono::milliseconds limit = 15s)
    {
        return waitUntil([&] { return sim->journalCount(line) >= count; }, limit);
    }
    bool ok(const std::string& command) { return sim->command(command).back() == "ok"; }

    ConsoleCapture console;
    RecordingLinkHost host;
    std::unique_ptr<SimulatedLooper> sim;
    std::unique_ptr<QXNetworkInterface> link;
};

// Packets the kernel sent or dropped on their way out of an interface.
std::uint64_t packetsOut(const std::string& interface)
{
    std::uint64_t total = 0;
    for (const char* counter : {"tx_packets", "tx_dropped"}) {
        std::uint64_t value = 0;
        std::ifstream("/sys/class/net/" + interface + "/statistics/" + counter) >> value;
        total += value;
    }
    return total;
}

using NetnsDiscovery = NetnsFixture;
using NetnsPolling = NetnsFixture;

TEST_F(NetnsDiscovery, FindsTheLooperOnTheRunningInterfaceThenPollsInOrder)
{
    // qxdead0 is up but its peer is down: it is never queried.
    const auto listed = findInterfaces();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0], (AddrPairs{{10, 77, 0, 1}, {10, 77, 0, 255}}));
    const std::uint64_t deadBefore = packetsOut("qxdead0");

    startLink();
    ASSERT_TRUE(journalReaches(kLogQuery, 3));
    EXPECT_EQ(host.deviceLines(), (std::vector<std::string>{"QXnetns - 10.77.0.2:5667"}));
    const auto journal = sim->journal();
    ASSERT_GE(journal.size(), 9u);
    EXPECT_EQ(journal[0], kIdQuery);
    EXPECT_EQ(journal[1], "rx udp F0 00 02 33 14 00 F7");
    EXPECT_EQ(journal[2], "rx udp F0 00 02 33 14 48 F7");
    for (std::size_t i = 3; i + 1 < journal.size(); i += 2) {
        EXPECT_EQ(journal[i], kStatusQuery) << i;
        EXPECT_EQ(journal[i + 1], kLogQuery) << i + 1;
    }
    // The settings slices came back as SysEx datagrams for the common decoder.
    ASSERT_TRUE(waitUntil([&] { return host.sysEx().size() >= 2; }));
    for (const Bytes& reply : host.sysEx()) EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 5), hex("F0 00 02 33 15"));
    link->stop();
    EXPECT_EQ(packetsOut("qxdead0"), deadBefore);
    EXPECT_EQ(sim->journalCount(kIdQuery), 1u);
}

TEST_F(NetnsPolling, CommandsGoOutTracksFollowAndSilenceHandsTheLinkBack)
{
    startLink();
    ASSERT_TRUE(journalReaches(kStatusQuery, 1));
    host.queue.enqueue(hex("F0 00 02 33 06 05 F7"));  // noise gate 5
    host.queue.enqueue(hex("F0 00 02 33 05 03 F7"));  // MIDI channel 3
    ASSERT_TRUE(journalReaches("rx udp F0 00 02 33 05 03 F7", 1));
    auto journal = sim->journal();
    const auto gate = std::find(journal.begin(), journal.end(), "rx udp F0 00 02 33 06 05 F7");
    ASSERT_NE(gate, journal.end());
    EXPECT_EQ(*(gate + 1), "rx udp F0 00 02 33 05 03 F7");  // in queue order, each once
    EXPECT_EQ(sim->journalCount(*gate), 1u);
    const auto state = sim->command("state");
    EXPECT_NE(state[0].find("noiseGateLevel=5"), std::string::npos) << state[0];
    EXPECT_NE(state[0].find("midiChannel=3"), std::string::npos) << state[0];

    for (const bool playing : {true, false}) {
        ASSERT_TRUE(ok(playing ? "track 2 playing" : "track 2 stopped"));
        ASSERT_TRUE(ok(playing ? "select 2" : "select 0"));
        EXPECT_TRUE(waitUntil([&] {
            const auto shown = host.tracks();
            return !shown.empty() && shown.back().size() >= 2 && shown.back()[1].status == (playing ? 4 : 3) &&
                   shown.back()[1].selected == playing && host.selected().back() == (playing ? 2 : 0);
        })) << playing;
    }

    ASSERT_TRUE(ok("silent"));
    const std::size_t queriesBefore = sim->journalCount(kStatusQuery);
    ASSERT_TRUE(waitUntil([&] { return host.pollMIDI(); }));
    const auto lines = console.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "\"pollAttempts too many\""), lines.end());
    // The journal trails the looper a little; every pass ends with its log query.
    EXPECT_TRUE(waitUntil([&] {
        return sim->journalCount(kStatusQuery) >= queriesBefore + 10 &&
               sim->journalCount(kLogQuery) == sim->journalCount(kStatusQuery);
    }));
    // Ten unanswered queries; one more when a reply was on its way as the looper fell silent.
    EXPECT_LE(sim->journalCount(kStatusQuery) - queriesBefore, 11u);
    const std::size_t afterHandBack = sim->journal().size();

    // MIDI gives the link up again: the looper answers now and is found anew.
    ASSERT_TRUE(ok("answer"));
    host.setPollMIDI(false);
    ASSERT_TRUE(waitUntil([&] { return host.deviceLines().size() == 2; }));
    ASSERT_TRUE(journalReaches(kIdQuery, 2));
    EXPECT_EQ(sim->journal()[afterHandBack], kIdQuery);  // nothing between hand-back and the next search
    EXPECT_TRUE(journalReaches(kLogQuery, sim->journalCount(kLogQuery) + 2));
}

class NetnsUpgrade : public NetnsFixture {
protected:
    void SetUp() override
    {
        NetnsFixture::SetUp();
        if (HasFatalFailure()) return;
        startLink();
        ASSERT_TRUE(journalReaches(kStatusQuery, 1));
    }
    static Bytes randomFile(std::size_t size, unsigned seed)
    {
        std::mt19937 random(seed);
        Bytes out(size);
        for (auto& b : out) b = static_cast<std::uint8_t>(random());
        return out;
    }
    bool ended(std::chrono::seconds limit = 60s)
    {
        return waitUntil([&] { return !host.outcomes().empty(); }, limit);
    }
    Bytes looperImage()
    {
        const auto answer = sim->command("upgrade-image-hex");
        return answer.size() == 2 ? hex(answer[0]) : Bytes{};
    }
    // Journal lines of slice `slice`, once the journal holds `copies` of them.
    std::size_t sliceCopies(std::size_t slice, std::size_t copies = 1)
    {
        const std::string header = "rx udp " + toHex(Bytes{0, 3, std::uint8_t(slice >> 8), std::uint8_t(slice)}) + " ";
        auto count = [&] {
            const auto lines = sim->journal();
            return std::size_t(std::count_if(lines.begin(), lines.end(), [&](const auto& l) { return l.starts_with(header); }));
        };
        waitUntil([&] { return count() >= copies; }, 5s);  // the journal trails the looper a little
        return count();
    }
};

TEST_F(NetnsUpgrade, TheLooperReceivesTheFileByteForByteWhilePollingWaits)
{
    const Bytes file = randomFile(200'000, 1);
    ASSERT_EQ(link->startUpgrade(file), std::nullopt);
    ASSERT_TRUE(ended());
    ASSERT_EQ(host.outcomes().size(), 1u);
    EXPECT_TRUE(host.outcomes()[0].success);
    EXPECT_EQ(host.outcomes()[0].text, "Upgrade finished: 200000 bytes sent over the network");
    EXPECT_EQ(looperImage(), file);
    EXPECT_TRUE(sim->command("upgrade-image")[0].starts_with("size=200000 complete=yes via=udp"));
    EXPECT_EQ(host.progress().size(), 391u);
    EXPECT_EQ(host.progress().back(), 1.0);

    // No status query between the announcement and the last slice, 391.
    ASSERT_EQ(sliceCopies(391), 1u);
    const auto journal = sim->journal();
    const auto announced = std::find(journal.begin(), journal.end(), "rx udp <command>upgrade 200000</command>");
    const auto last = std::find_if(announced, journal.end(), [](const auto& l) { return l.starts_with("rx udp 00 03 01 87 "); });
    ASSERT_NE(last, journal.end());
    EXPECT_EQ(std::count(announced, last, kStatusQuery), 0);
    EXPECT_TRUE(journalReaches(kStatusQuery, sim->journalCount(kStatusQuery) + 1));  // polling resumes
}

TEST_F(NetnsUpgrade, DroppedDoubledAcknowledgementsAndARestartStillDeliverTheFile)
{
    ASSERT_TRUE(ok("drop-acks 0.1"));
    ASSERT_TRUE(ok("dup-acks 0.3"));
    ASSERT_TRUE(ok("restart-upgrade-after 5"));
    const Bytes file = randomFile(15'000, 2);
    ASSERT_EQ(link->startUpgrade(file), std::nullopt);
    ASSERT_TRUE(ended(90s));
    ASSERT_EQ(host.outcomes().size(), 1u);
    EXPECT_TRUE(host.outcomes()[0].success) << host.outcomes()[0].text;
    EXPECT_EQ(looperImage(), file);
    EXPECT_EQ(sim->journalCount("rx udp <command>upgrade 15000</command>"), 1u);
    EXPECT_GE(sliceCopies(1, 2), 2u);  // sent again from the start on the restart request
}

TEST_F(NetnsUpgrade, SilenceOrShutdownStopsItAndASecondStartIsRefused)
{
    ASSERT_EQ(link->startUpgrade(randomFile(1'000'000, 4)), std::nullopt);
    EXPECT_EQ(link->startUpgrade(randomFile(100, 6)), "Upgrade refused: an upgrade is already running");
    ASSERT_TRUE(waitUntil([&] { return host.progress().size() >= 20; }));
    ASSERT_TRUE(ok("silent"));
    ASSERT_TRUE(ended());
    const std::size_t inFlight = host.progress().size() + 1;
    EXPECT_FALSE(host.outcomes().at(0).success);
    EXPECT_EQ(host.outcomes()[0].text,
              "Upgrade stopped: the looper fell silent at slice " + std::to_string(inFlight) + " of 1954");
    EXPECT_FALSE(link->pollingPausedNow());
    EXPECT_EQ(sliceCopies(inFlight, 6), 6u);  // five time-outs, each followed by a resend

    ASSERT_TRUE(ok("answer"));
    ASSERT_EQ(link->startUpgrade(randomFile(300'000, 5)), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return host.progress().size() > inFlight; }));
    link->stop();
    ASSERT_EQ(host.outcomes().size(), 2u);
    EXPECT_FALSE(host.outcomes()[1].success);
    EXPECT_TRUE(host.outcomes()[1].text.starts_with("Upgrade stopped: the link was shut down at slice "));
    EXPECT_TRUE(host.outcomes()[1].text.ends_with(" of 586")) << host.outcomes()[1].text;
}

}  // namespace
}  // namespace qx::test
