// The network link in the panel's namespace (10.77.0.1) against
// qx-looper-sim in the looper's namespace (10.77.0.2), joined by a veth
// pair. This binary is started with "ip netns exec" in the panel's. The poll cycle's
// order, the hand-back after ten silent passes and the upgrade's slices are
// the loopback unit tests' business; here the link meets the kernel's
// interfaces and the simulated looper.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "NamespaceGuard.h"
#include "RecordingLinkHost.h"
#include "SimulatedLooper.h"
#include "WaitUntil.h"
#include "net/QXNetworkInterface.h"
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
        ASSERT_TRUE(sim.ready()) << "the simulator did not come up in " << QX_LOOPER_NETNS;
    }
    void TearDown() override
    {
        if (link) link->stop();
    }
    // Starts the link with the transport already handed over by MIDI.
    void startLink()
    {
        host.setPollMIDI(false);
        const QXNetworkInterface::Options onlyTheTestSubnet{.enumerate = testSubnetInterfaces};
        link = std::make_unique<QXNetworkInterface>(host, onlyTheTestSubnet);
        link->start();
    }
    bool received(const std::string& line, std::size_t count)
    {
        return waitUntil([&] { return sim.received(line) >= count; }, 15s);
    }
    bool ok(const std::string& command)
    {
        const auto answer = sim.command(command);
        return !answer.empty() && answer.back() == "ok";
    }

    SimulatedLooper sim{{"ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "0.0.0.0", "--journal", "--name",
                         "QXnetns"}};
    RecordingLinkHost host;
    std::unique_ptr<QXNetworkInterface> link;
};

// Packets the kernel sent or dropped on their way out of an interface.
std::uint64_t packetsOut(const std::string& interface)
{
    std::uint64_t total = 0, value = 0;
    for (const char* counter : {"tx_packets", "tx_dropped"})
        if (std::ifstream("/sys/class/net/" + interface + "/statistics/" + counter) >> value) total += value;
    return total;
}

using NetnsDiscovery = NetnsFixture;
using NetnsPolling = NetnsFixture;

TEST_F(NetnsDiscovery, FindsTheLooperOnTheRunningInterfaceThenPollsInOrder)
{
    // qxdead0 is up but its peer is down: it is not listed and never queried.
    ASSERT_EQ(findInterfaces(), (std::vector<AddrPairs>{{{10, 77, 0, 1}, {10, 77, 0, 255}}}));
    const std::uint64_t deadBefore = packetsOut("qxdead0");

    startLink();
    ASSERT_TRUE(received(kLogQuery, 3));
    EXPECT_EQ(host.deviceLines(), (std::vector<std::string>{"QXnetns - 10.77.0.2:5667"}));
    const auto journal = sim.journal();
    ASSERT_GE(journal.size(), 9u);
    EXPECT_EQ(std::vector(journal.begin(), journal.begin() + 3),
              (std::vector<std::string>{kIdQuery, "rx udp F0 00 02 33 14 00 F7", "rx udp F0 00 02 33 14 48 F7"}));
    for (std::size_t i = 3; i + 1 < journal.size(); i += 2)
        EXPECT_TRUE(journal[i] == kStatusQuery && journal[i + 1] == kLogQuery) << i << ": " << journal[i];
    link->stop();
    EXPECT_EQ(packetsOut("qxdead0"), deadBefore);
    EXPECT_EQ(sim.received(kIdQuery), 1u);
}

TEST_F(NetnsPolling, CommandsGoOutInQueueOrderAndTheTracksFollowTheLooper)
{
    startLink();
    ASSERT_TRUE(received(kStatusQuery, 1));
    host.queue.enqueue(hex("F0 00 02 33 06 05 F7"));  // noise gate 5
    host.queue.enqueue(hex("F0 00 02 33 05 03 F7"));  // MIDI channel 3
    ASSERT_TRUE(received("rx udp F0 00 02 33 05 03 F7", 1));
    const auto journal = sim.journal();
    const auto gate = std::find(journal.begin(), journal.end(), "rx udp F0 00 02 33 06 05 F7");
    ASSERT_NE(gate, journal.end());
    EXPECT_EQ(*(gate + 1), "rx udp F0 00 02 33 05 03 F7");  // next, and each once
    EXPECT_EQ(sim.received(*gate), 1u);
    EXPECT_EQ(sim.received(*(gate + 1)), 1u);

    for (const bool playing : {true, false}) {
        ASSERT_TRUE(ok(playing ? "track 2 playing" : "track 2 stopped"));
        ASSERT_TRUE(ok(playing ? "select 2" : "select 0"));
        EXPECT_TRUE(waitUntil([&] {
            const auto shown = host.tracks();
            return !shown.empty() && shown.back().size() >= 2 && shown.back()[1].status == (playing ? 4 : 3) &&
                   shown.back()[1].selected == playing && host.selected().back() == (playing ? 2 : 0);
        })) << playing;
    }
}

using NetnsUpgrade = NetnsFixture;

Bytes randomFile(std::size_t size, unsigned seed)
{
    Bytes out(size);
    std::generate(out.begin(), out.end(), std::mt19937(seed));
    return out;
}

TEST_F(NetnsUpgrade, LostAndDoubledAcknowledgementsAndARestartStillDeliverTheFileWhilePollingWaits)
{
    startLink();
    ASSERT_TRUE(received(kStatusQuery, 1));
    ASSERT_TRUE(ok("drop-acks 0.1") && ok("dup-acks 0.3") && ok("restart-upgrade-after 5"));
    const Bytes file = randomFile(15'000, 2);
    ASSERT_EQ(link->startUpgrade(file), std::nullopt);
    EXPECT_EQ(link->startUpgrade(randomFile(100, 6)), "Upgrade refused: an upgrade is already running");
    ASSERT_TRUE(waitUntil([&] { return !host.outcomes().empty(); }, 90s));
    ASSERT_EQ(host.outcomes().size(), 1u);
    EXPECT_TRUE(host.outcomes()[0].success);
    EXPECT_EQ(host.outcomes()[0].text, "Upgrade finished: 15000 bytes sent over the network");
    EXPECT_EQ(host.progress().back(), 1.0);
    const auto image = sim.command("upgrade-image-hex");
    ASSERT_EQ(image.size(), 2u);
    EXPECT_EQ(image[0], toHex(file));

    // Announced once; slice 1 sent again on the restart request; no status
    // query from the announcement to the last slice (30); polling resumes.
    const std::string announcement = "rx udp <command>upgrade 15000</command>", lastSlice = "rx udp 00 03 00 1E ";
    ASSERT_TRUE(received(lastSlice, 1));
    EXPECT_EQ(sim.received(announcement), 1u);
    EXPECT_GE(sim.received("rx udp 00 03 00 01 "), 2u);
    const auto journal = sim.journal();
    const auto announced = std::find(journal.begin(), journal.end(), announcement);
    const auto last = std::find_if(announced, journal.end(), [&](const auto& l) { return l.starts_with(lastSlice); });
    ASSERT_NE(last, journal.end());
    EXPECT_EQ(std::count(announced, last, kStatusQuery), 0);
    EXPECT_TRUE(received(kStatusQuery, sim.received(kStatusQuery) + 1));
}

TEST_F(NetnsUpgrade, ShuttingTheLinkDownStopsItWithTheSliceItReached)
{
    startLink();
    ASSERT_TRUE(received(kStatusQuery, 1));
    ASSERT_EQ(link->startUpgrade(randomFile(300'000, 5)), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return host.progress().size() >= 5; }));
    link->stop();
    ASSERT_EQ(host.outcomes().size(), 1u);
    EXPECT_FALSE(host.outcomes()[0].success);
    EXPECT_TRUE(host.outcomes()[0].text.starts_with("Upgrade stopped: the link was shut down at slice "));
    EXPECT_TRUE(host.outcomes()[0].text.ends_with(" of 586")) << host.outcomes()[0].text;
}

}  // namespace
}  // namespace qx::test
