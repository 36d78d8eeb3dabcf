// No MIDI system at all (no ALSA sequencer, no JACK server) is a normal start.
#include <gtest/gtest.h>

#include <algorithm>

#include "midi/MidiLink.h"
#include "midi/RtMidiEndpoints.h"
#include "session/SessionFactory.h"
#include "support/ConsoleCapture.h"
#include "support/WaitUntil.h"

namespace qx {

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

}  // namespace qx
