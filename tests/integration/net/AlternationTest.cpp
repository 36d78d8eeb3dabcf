// The two links taking turns: a looper on JACK MIDI ports and a second one on
// the network (across the namespaces). MIDI polls until its looper falls
// silent, the network side then finds the network looper and polls it until
// that one falls silent, and MIDI takes the link back.
#include <gtest/gtest.h>

#include <algorithm>

#include "midi/SystemMidiEndpoints.h"
#include "session/SessionFactory.h"
#include "support/ConsoleCapture.h"
#include "support/JackServer.h"
#include "support/Namespaces.h"
#include "support/SimulatedLooper.h"
#include "support/WaitUntil.h"

namespace qx::test {
namespace {

using namespace std::chrono_literals;

TEST(LinkAlternation, MidiThenNetworkThenMidiAgain)
{
    ASSERT_TRUE(insideNamespace(QX_PANEL_NETNS)) << "run this binary with: ip netns exec " << QX_PANEL_NETNS;
    ConsoleCapture console;
    JackServer jack;  // clients made from here on, children included, find this server
    ASSERT_TRUE(jack.ready()) << "jackd did not start";
    SimulatedLooper midiLooper({QX_SIM_PATH, "--jack", "--journal", "--name", "MidiLooper"});
    SimulatedLooper netLooper({"ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "0.0.0.0", "--journal",
                               "--name", "NetLooper"});
    ASSERT_TRUE(midiLooper.ready() && netLooper.ready());
    // The network looper keeps quiet until MIDI has been polled: should the
    // MIDI looper miss the first search, the link comes back to MIDI.
    ASSERT_TRUE(netLooper.ok("silent"));

    ManualMainQueue ui;
    LooperSession session(ui, makeLinks({.midi = [] { return openSystemMidiEndpoints(); },
                                         .network = NetworkLink::Options{.enumerate = testSubnetInterfaces}}));
    const auto deviceLine = session.models().deviceLine;
    session.start();
    auto shown = [&](const std::string& line) {
        const auto lines = console.lines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    };
    auto pumpUntil = [&](const std::function<bool()>& done) {
        return waitUntil([&] { return ui.drain(), done(); }, 20s);
    };

    ASSERT_TRUE(pumpUntil([&] { return shown("\"Polling MIDI\"") >= 1; }));
    const std::size_t midiPhases = shown("\"Polling MIDI\"");
    ASSERT_TRUE(netLooper.ok("answer"));
    ASSERT_TRUE(midiLooper.ok("silent"));
    ASSERT_TRUE(pumpUntil([&] {
        return deviceLine->text() == "NetLooper - 10.77.0.2:5667" &&
               netLooper.received("rx udp <query>status compact</query>") >= 2;
    }));
    EXPECT_TRUE(session.arbiter().holds(Transport::network));
    // While the network holds the link, nothing goes out over MIDI.
    const std::size_t midiBefore = midiLooper.journal().size();
    const std::size_t logQueries = netLooper.received("rx udp <query>log</query>");
    ASSERT_TRUE(waitUntil([&] { return netLooper.received("rx udp <query>log</query>") >= logQueries + 3; }, 20s));
    EXPECT_EQ(midiLooper.journal().size(), midiBefore);

    ASSERT_TRUE(midiLooper.ok("answer"));
    ASSERT_TRUE(netLooper.ok("silent"));
    ASSERT_TRUE(pumpUntil([&] { return shown("\"Polling MIDI\"") > midiPhases; }));
    EXPECT_TRUE(session.arbiter().holds(Transport::midi));
    session.stop();

    // In this order, each once: other lines come between.
    const std::vector<std::string> wanted = {"\"Start function\"", "\"Polling MIDI\"", "\"Polling IP\"",
                                             "\"pollAttempts too many\"", "\"Polling MIDI\""};
    const auto lines = console.lines();
    auto at = lines.begin();
    for (const std::string& line : wanted) {
        at = std::find(at, lines.end(), line);
        ASSERT_NE(at++, lines.end()) << line;
    }
    EXPECT_EQ(shown("\"Polling IP\""), 1u);
}

}  // namespace
}  // namespace qx::test
