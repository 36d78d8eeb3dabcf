// No MIDI system at all (no ALSA sequencer, no JACK server) is a normal start.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "common/MainQueue.h"
#include "link/IdleNetworkSide.h"
#include "link/LooperLink.h"
#include "midi/RtMidiEndpoints.h"
#include "support/ConsoleCapture.h"

namespace qx {

TEST(StartupWithoutMidi, StartsAndHandsTheLinkToTheNetworkSide)
{
    test::ConsoleCapture console;
    ManualMainQueue ui;
    LooperLink link(ui, openSystemMidiEndpoints(), [](LinkHost& host) { return std::make_unique<IdleNetworkSide>(host); });
    EXPECT_TRUE(link.interface().destinations().empty());
    EXPECT_TRUE(link.interface().sources().empty());
    auto state = std::make_shared<ObservableText>();
    link.interface().linkStateModel = state;
    link.start();
    EXPECT_EQ(console.lines().front(), "\"Start function\"");

    // Five unanswered status requests, then the network side holds the link.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (state->text() != "Searching the network for the looper" && std::chrono::steady_clock::now() < until)
        ui.waitAndDrain(std::chrono::milliseconds(50));
    EXPECT_EQ(state->text(), "Searching the network for the looper");
    link.stop();
    const auto lines = console.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "\"Polling MIDI\""), 0);
}

}  // namespace qx
