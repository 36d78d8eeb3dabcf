// Discovery and polling over a veth pair between two network namespaces.
#include <algorithm>
#include <fstream>

#include "NetnsFixture.h"

namespace qx::test {
namespace {

bool contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Packets the kernel sent or dropped on its way out of an interface of this
// namespace.
std::uint64_t packetsOut(const std::string& interface)
{
    std::uint64_t total = 0;
    for (const char* counter : {"tx_packets", "tx_dropped"}) {
        std::ifstream in("/sys/class/net/" + interface + "/statistics/" + counter);
        std::uint64_t value = 0;
        in >> value;
        total += value;
    }
    return total;
}

using NetnsDiscovery = NetnsFixture;
using NetnsPolling = NetnsFixture;

TEST_F(NetnsDiscovery, FindsTheLooperThenPollsInOrder)
{
    startLink();
    ASSERT_TRUE(journalReaches(kLogQuery, 3));
    EXPECT_EQ(host.deviceLines(), (std::vector<std::string>{std::string(kLooperName) + " - 10.77.0.2:5667"}));
    EXPECT_EQ(link->looperID(), kLooperName);

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
    for (const Bytes& reply : host.sysEx()) {
        EXPECT_EQ(reply.size(), 159u);
        EXPECT_EQ(reply[4], 0x15);
    }
}

TEST_F(NetnsDiscovery, AnInterfaceUpButNotRunningIsNeverQueried)
{
    // qxdead0 is up but its peer is down; it comes first in the list.
    const auto listed = findInterfaces();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0], (AddrPairs{{10, 77, 0, 1}, {10, 77, 0, 255}}));

    const std::uint64_t before = packetsOut("qxdead0");
    startLink();
    ASSERT_TRUE(journalReaches(kStatusQuery, 2));
    link->stop();
    EXPECT_EQ(packetsOut("qxdead0"), before);
    EXPECT_EQ(sim->journalCount(kIdQuery), 1u);
}

TEST_F(NetnsPolling, QueuedCommandsTravelAsDatagrams)
{
    startLink();
    ASSERT_TRUE(journalReaches(kStatusQuery, 1));
    host.queue.enqueue(Bytes{0xF0, 0x00, 0x02, 0x33, 0x06, 0x05, 0xF7});  // noise gate 5
    host.queue.enqueue(Bytes{0xF0, 0x00, 0x02, 0x33, 0x05, 0x03, 0xF7});  // MIDI channel 3
    ASSERT_TRUE(journalReaches("rx udp F0 00 02 33 05 03 F7", 1));

    const auto journal = sim->journal();
    const auto gate = std::find(journal.begin(), journal.end(), "rx udp F0 00 02 33 06 05 F7");
    ASSERT_NE(gate, journal.end());
    EXPECT_EQ(*(gate + 1), "rx udp F0 00 02 33 05 03 F7");  // in queue order, one after the other
    EXPECT_EQ(sim->journalCount("rx udp F0 00 02 33 06 05 F7"), 1u);

    const auto state = sim->command("state");
    ASSERT_FALSE(state.empty());
    EXPECT_NE(state[0].find("noiseGateLevel=5"), std::string::npos) << state[0];
    EXPECT_NE(state[0].find("midiChannel=3"), std::string::npos) << state[0];
}

TEST_F(NetnsPolling, TracksFollowTheLooper)
{
    startLink();
    ASSERT_TRUE(journalReaches(kStatusQuery, 1));
    ASSERT_EQ(sim->command("track 2 playing").back(), "ok");
    ASSERT_EQ(sim->command("select 2").back(), "ok");
    EXPECT_TRUE(waitUntil([&] {
        const auto shown = host.tracks();
        const auto selected = host.selected();
        return !shown.empty() && shown.back().size() >= 2 && shown.back()[1].status == 4 && shown.back()[1].selected &&
               !selected.empty() && selected.back() == 2;
    }));
    ASSERT_EQ(sim->command("track 2 stopped").back(), "ok");
    ASSERT_EQ(sim->command("select 0").back(), "ok");
    EXPECT_TRUE(waitUntil([&] {
        const auto shown = host.tracks();
        return shown.back()[1].status == 3 && !shown.back()[1].selected && host.selected().back() == 0;
    }));
}

TEST_F(NetnsPolling, SilentLooperHandsTheLinkBackAndIsFoundAgain)
{
    startLink();
    ASSERT_TRUE(journalReaches(kStatusQuery, 2));
    ASSERT_EQ(sim->command("silent").back(), "ok");
    const std::size_t queriesBefore = sim->journalCount(kStatusQuery);

    ASSERT_TRUE(waitUntil([&] { return contains(console.lines(), "\"pollAttempts too many\""); }));
    ASSERT_TRUE(waitUntil([&] { return host.pollMIDI(); }));
    // The journal trails the looper a little; every pass ends with its log query.
    EXPECT_TRUE(waitUntil([&] {
        return sim->journalCount(kStatusQuery) >= queriesBefore + 10 &&
               sim->journalCount(kLogQuery) == sim->journalCount(kStatusQuery);
    }));
    const std::size_t unanswered = sim->journalCount(kStatusQuery) - queriesBefore;
    // Ten unanswered queries; one more when a reply was already on its way
    // as the looper fell silent.
    EXPECT_GE(unanswered, 10u);
    EXPECT_LE(unanswered, 11u);
    const std::size_t afterHandBack = sim->journal().size();

    // MIDI gives the link up again: the looper answers now and is found anew.
    ASSERT_EQ(sim->command("answer").back(), "ok");
    host.setPollMIDI(false);
    ASSERT_TRUE(waitUntil([&] { return host.deviceLines().size() == 2; }));
    ASSERT_TRUE(journalReaches(kIdQuery, 2));
    const auto journal = sim->journal();
    EXPECT_EQ(journal[afterHandBack], kIdQuery);  // nothing between hand-back and the next search
    EXPECT_TRUE(journalReaches(kLogQuery, sim->journalCount(kLogQuery) + 2));
    EXPECT_FALSE(host.pollMIDI());
}

}  // namespace
}  // namespace qx::test
