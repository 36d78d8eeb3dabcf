// The MIDI link of a session against the simulated looper on real JACK MIDI
// ports, and with no MIDI system at all. Each step waits (with a generous
// bound) for what it needs, then checks order and content.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "midi/MidiLink.h"
#include "midi/SystemMidiEndpoints.h"
#include "session/SessionFactory.h"
#include "support/ConsoleCapture.h"
#include "support/JackServer.h"
#include "support/SimulatedLooper.h"
#include "support/WaitUntil.h"

namespace qx {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

const std::string kStatusRx = "rx midi F0 00 02 33 02 F7";
const std::string kLogRx = "rx midi F0 00 02 33 03 F7";

TEST(MidiLinkOverJack, FindsTheLooperPollsItFollowsItsTracksAndAfterASilenceAsksForTheConfiguration)
{
    test::JackServer jack;
    ASSERT_TRUE(jack.ready()) << "jackd did not start";
    test::SimulatedLooper looper({QX_SIM_PATH, "--jack", "--journal"});
    ASSERT_TRUE(looper.ready()) << "the simulated looper did not open its ports";
    test::ConsoleCapture console;
    ManualMainQueue ui;
    LooperSession session(ui, makeLinks({.midi = [] { return openSystemMidiEndpoints(); }, .network = std::nullopt}));
    const auto& destinations = static_cast<MidiLink&>(session.link(Transport::midi)).destinations();
    ASSERT_TRUE(std::ranges::any_of(destinations, [](const std::string& n) { return n.find("QX Looper Sim") != n.npos; }))
        << "the looper's ports are not among the destinations";
    session.start();
    auto count = [](const Lines& lines, const std::string& line) { return std::count(lines.begin(), lines.end(), line); };
    auto waitForJournal = [&](const std::function<bool(const Lines&)>& done) {
        return test::waitUntil([&] { return ui.drain(), done(looper.journal()); }, 30s);
    };

    // Found at once: the search sends one request, then polling takes over.
    ASSERT_TRUE(waitForJournal([&](const Lines& l) { return count(l, kLogRx) >= 3; }));
    Lines lines = looper.journal();
    EXPECT_EQ(lines[0], kStatusRx);
    const auto firstLog = std::find(lines.begin(), lines.end(), kLogRx);
    for (auto it = firstLog + 1; it + 6 <= lines.end(); it += 6) {
        for (int i = 0; i < 5; ++i) EXPECT_EQ(it[i], kStatusRx);
        EXPECT_EQ(it[5], kLogRx);
    }
    EXPECT_EQ(count(console.lines(), "\"Polling MIDI\""), 1);
    EXPECT_TRUE(session.arbiter().holds(Transport::midi));
    const SessionModels& models = session.models();
    EXPECT_EQ(statusWords(models.linkStatus->state()), "Polling the looper over MIDI");
    EXPECT_FALSE(models.tracks->tracks()[0].status.empty()) << "the track grid follows the looper";
    EXPECT_FALSE(models.tracks->tracks()[0].length.empty());

    // An answer after a silence asks for the configuration again, in order.
    const long asked = count(console.lines(), "\"Requesting configuration\"");
    ASSERT_TRUE(looper.ok("silent"));
    const std::size_t silentFrom = looper.journal().size();
    // Seven requests: a couple may have been answered before the looper went
    // quiet, and ten unanswered would end polling.
    ASSERT_TRUE(waitForJournal([&](const Lines& l) { return count(Lines(l.begin() + silentFrom, l.end()), kStatusRx) >= 7; }));
    ASSERT_TRUE(looper.ok("answer"));
    const std::size_t answerFrom = looper.journal().size();
    ASSERT_TRUE(waitForJournal([&](const Lines& l) { return count(l, "rx midi F0 00 02 33 14 48 F7") >= 2; }));
    lines = looper.journal();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(answerFrom));
    std::erase_if(lines, [](const std::string& l) { return l == kStatusRx || l == kLogRx; });
    EXPECT_EQ(lines, (Lines{"rx midi F0 00 02 33 09 F7", "rx midi F0 00 02 33 16 F7", "rx midi F0 00 02 33 14 00 F7",
                            "rx midi F0 00 02 33 14 48 F7"}));
    EXPECT_EQ(count(console.lines(), "\"Requesting configuration\""), asked + 1);
    session.stop();
}

// Ports are followed as they come and go: a looper plugged in after the
// start is found, one unplugged and plugged back is polled again, a clock
// tick inside its replies costs nothing, and while another device is chosen
// nothing reaches it. The trace holds what crossed.
TEST(MidiLinkOverJack, FollowsALooperPluggedInLaterAndBackAndOnlyTheChosenDevice)
{
    test::JackServer jack;
    ASSERT_TRUE(jack.ready()) << "jackd did not start";
    const std::string tracePath = testing::TempDir() + "midi-trace.txt";
    ManualMainQueue ui;
    LooperSession session(ui, makeLinks({.midi = [] { return openSystemMidiEndpoints({.device = "Other Synth"}); },
                                         .network = std::nullopt,
                                         .trace = TrafficTrace::open(tracePath)}));
    session.start();
    const SessionModels& models = session.models();
    auto polling = [&] { return ui.drain(), statusWords(models.linkStatus->state()) == "Polling the looper over MIDI"; };
    auto lists = [&](const std::string& device) {
        ui.drain();
        const auto& names = models.midiDevices->names();
        return std::find(names.begin(), names.end(), device) != names.end();
    };
    {
        test::SimulatedLooper looper({QX_SIM_PATH, "--jack", "--journal"});
        ASSERT_TRUE(looper.ready());
        ASSERT_TRUE(test::waitUntil([&] { return lists("QX Looper Sim"); }, 30s)) << "the new device is listed";
        // Searching goes on, but to the chosen device only.
        const std::int64_t searched = session.arbiter().unanswered(Transport::midi);
        ASSERT_TRUE(test::waitUntil([&] { return session.arbiter().unanswered(Transport::midi) >= searched + 6; }, 30s));
        EXPECT_TRUE(looper.journal().empty()) << "nothing reaches a device that is not chosen";

        session.chooseMidiDevice("QX Looper Sim");
        ASSERT_TRUE(test::waitUntil(polling, 30s)) << "found once chosen";
        EXPECT_EQ(looper.journal().front(), kStatusRx);

        ASSERT_TRUE(looper.ok("clock-in-sysex"));
        const std::uint64_t answers = session.arbiter().answers(Transport::midi);
        EXPECT_TRUE(test::waitUntil([&] { return session.arbiter().answers(Transport::midi) >= answers + 10; }, 30s))
            << "replies with a clock tick inside still count";
    }  // unplugged: its ports close
    ASSERT_TRUE(test::waitUntil([&] { return !lists("QX Looper Sim"); }, 30s));
    ASSERT_TRUE(test::waitUntil([&] { return !polling(); }, 30s));

    test::SimulatedLooper again({QX_SIM_PATH, "--jack", "--journal"});
    ASSERT_TRUE(again.ready());
    EXPECT_TRUE(test::waitUntil(polling, 30s)) << "polled again without a restart";
    EXPECT_TRUE(test::waitUntil([&] { return again.received(kStatusRx) >= 3; }, 30s));
    session.stop();

    std::ifstream trace(tracePath);
    std::string line;
    bool sent = false, received = false;
    while (std::getline(trace, line)) {
        sent = sent || line.ends_with(" sent [MIDI QX Looper Sim-01:QX Looper Sim] F0 00 02 33 02 F7");
        received = received || line.find(" received [MIDI] F0 00 02 33 02 ") != std::string::npos;
    }
    EXPECT_TRUE(sent && received) << "the trace holds the requests and the reports";
}

// No MIDI system at all (no ALSA sequencer, no JACK server) is a normal start.
TEST(StartupWithoutMidi, StartsAndHandsTheLinkToTheNetworkSide)
{
    test::ConsoleCapture console;
    ManualMainQueue ui;
    LooperSession session(ui, makeLinks({.midi = [] { return openSystemMidiEndpoints(); }, .network = std::nullopt}));
    const auto& midi = static_cast<MidiLink&>(session.link(Transport::midi));
    EXPECT_TRUE(midi.destinations().empty());
    EXPECT_TRUE(midi.sources().empty());
    session.start();
    EXPECT_EQ(console.lines().front(), "\"Start function\"");
    ui.drain();
    EXPECT_EQ(session.models().midiNotice->text(), "No MIDI: no ALSA sequencer and no JACK server");

    // Five unanswered status requests, then the network side holds the link.
    const LinkStatus& status = *session.models().linkStatus;
    EXPECT_TRUE(test::waitUntil([&] {
        ui.drain();
        return statusWords(status.state()) == "Searching the network for the looper";
    }, std::chrono::seconds(30)));
    session.stop();
    const auto lines = console.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "\"Polling MIDI\""), 0);
}

}  // namespace
}  // namespace qx
