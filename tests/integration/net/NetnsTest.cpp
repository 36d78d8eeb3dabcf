// A session's network link, with the window on it (off screen), in the
// panel's namespace (10.77.0.1) against qx-looper-sim in the looper's
// (10.77.0.2, and a second responder at 10.77.0.3 where a test wants one),
// joined by a veth pair; this binary is started with "ip netns exec" in the
// panel's. The poll cycle's order, the hand-back after ten silent passes and
// the upgrade's slices are the unit tests' business, the upgrade through
// faults qxctl's; here the link meets the kernel's interfaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

#include <QApplication>
#include <QLabel>

#include "app/ContentView.h"
#include "app/MainWindow.h"
#include "app/PanelStatusBar.h"
#include "session/SessionFactory.h"
#include "support/ConsoleCapture.h"
#include "support/Hex.h"
#include "support/Namespaces.h"
#include "support/SimulatedLooper.h"
#include "support/WaitUntil.h"

namespace qx::test {
namespace {

using namespace std::chrono_literals;

const std::string kIdQuery = "rx udp <query>id</query>";
const std::string kStatusQuery = "rx udp <query>status compact</query>";
const std::string kLogQuery = "rx udp <query>log</query>";

// Packets the kernel sent or dropped on their way out of an interface.
std::uint64_t packetsOut(const std::string& interface)
{
    std::uint64_t total = 0, value = 0;
    for (const char* counter : {"tx_packets", "tx_dropped"})
        if (std::ifstream("/sys/class/net/" + interface + "/statistics/" + counter) >> value) total += value;
    return total;
}

// Console lines that tell of a second looper.
std::ptrdiff_t secondLooperNotices(const ConsoleCapture& console)
{
    return std::ranges::count_if(console.lines(), [](const std::string& l) { return l.starts_with("\"Two loopers"); });
}

class Netns : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(insideNamespace(QX_PANEL_NETNS)) << "run this binary with: ip netns exec " << QX_PANEL_NETNS;
        ASSERT_TRUE(sim.ready()) << "the simulator did not come up in " << QX_LOOPER_NETNS;
        // The MIDI link never runs: the network link has the link from the start.
        session.arbiter().handTo(Transport::network);
    }
    bool received(const std::string& line, std::size_t count)
    {
        return waitUntil([&] { return sim.received(line) >= count; }, 15s);
    }
    // Another simulator on the looper's segment, at its second address.
    static SimulatedLooper responder(const std::string& name, const std::vector<std::string>& options = {})
    {
        std::vector<std::string> argv{"ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "10.77.0.3",
                                      "--journal", "--name", name};
        argv.insert(argv.end(), options.begin(), options.end());
        return SimulatedLooper(std::move(argv));
    }
    void expectConnectedToTheLooper()
    {
        ui.drain();
        EXPECT_EQ(models.linkStatus->state(), (LinkState{LinkState::Phase::connectedNetwork, "QXnetns", "10.77.0.2"}));
        EXPECT_EQ(models.deviceLine->text(), "QXnetns - 10.77.0.2:5667");
    }

    // Bound to its own address rather than 0.0.0.0, so that a responder can
    // take port 5667 on the segment's other address.
    SimulatedLooper sim{
        {"ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "10.77.0.2", "--journal", "--name", "QXnetns"}};
    ManualMainQueue ui;
    const LinkChoice testSubnetOnly{.midi = {}, .network = NetworkLink::Options{.enumerate = testSubnetInterfaces}};
    LooperSession session{ui, makeLinks(testSubnetOnly)};
    Link& link = session.link(Transport::network);
    SessionModels& models = session.models();
};

// The window's status bar says where the link stands once the looper answers
// only on the network.
TEST_F(Netns, FindsTheLooperOnTheRunningInterfaceAndPollsItInOrderWhileTheWindowSaysSo)
{
    // qxdead0 is up but its peer is down: it is not listed and never queried.
    ASSERT_EQ(findInterfaces(), (std::vector<AddrPairs>{{{10, 77, 0, 1}, {10, 77, 0, 255}}}));
    const std::uint64_t deadBefore = packetsOut("qxdead0");
    int argc = 1;
    char name[] = "net_netns_tests", *argv[] = {name, nullptr};
    setenv("XDG_CONFIG_HOME", testing::TempDir().c_str(), 1);  // the window remembers its choices there
    QApplication application(argc, argv);
    struct : app::Dialogs {
        std::optional<std::string> chooseFileToOpen(const std::string&, const std::string&) override { return {}; }
        std::optional<std::string> chooseFileToSave(const std::string&, const std::string&, const std::string&) override
        {
            return {};
        }
        bool confirm(const std::string&, const std::string&) override { return false; }
    } noDialogs;
    app::MainWindow window(session, noDialogs);
    link.start();
    ASSERT_TRUE(received(kLogQuery, 3));
    ui.drain();
    EXPECT_EQ(window.panelStatusBar()->linkState(), "Connected over the network to QXnetns at 10.77.0.2");
    EXPECT_EQ(window.contentView()->deviceLine()->text(), "QXnetns - 10.77.0.2:5667");
    const auto journal = sim.journal();
    ASSERT_GE(journal.size(), 10u);
    EXPECT_EQ(std::vector(journal.begin(), journal.begin() + 4),
              (std::vector<std::string>{kIdQuery, "rx udp F0 00 02 33 14 00 F7", "rx udp F0 00 02 33 14 48 F7",
                                        "rx udp F0 00 02 33 09 F7"}));
    for (std::size_t i = 4; i + 1 < journal.size(); i += 2)
        EXPECT_TRUE(journal[i] == kStatusQuery && journal[i + 1] == kLogQuery) << i << ": " << journal[i];
    session.stop();
    EXPECT_EQ(packetsOut("qxdead0"), deadBefore);
    EXPECT_EQ(sim.received(kIdQuery), 1u);
}

TEST_F(Netns, ShuttingTheSessionDownStopsAnUpgradeWithTheSliceItReached)
{
    link.start();
    ASSERT_TRUE(received(kStatusQuery, 1));
    Bytes file(300'000);
    std::generate(file.begin(), file.end(), std::mt19937(5));
    ASSERT_EQ(link.startUpgrade(file), std::nullopt);
    EXPECT_EQ(link.startUpgrade(Bytes(100)), "Upgrade refused: an upgrade is already running");
    ASSERT_TRUE(waitUntil([&] { return sim.received("rx udp 00 03 ") >= 5; }));
    session.stop();
    ui.drain();
    ASSERT_EQ(models.outcome->ended(), 1u);
    EXPECT_FALSE(models.outcome->last().success);
    EXPECT_TRUE(models.outcome->last().text.starts_with("Upgrade stopped: the link was shut down at slice "));
    EXPECT_TRUE(models.outcome->last().text.ends_with(" of 586")) << models.outcome->last().text;
}

// An identity reply from another port than the looper's is not a looper's,
// however early it comes.
TEST_F(Netns, AnIdentityReplyFromAnotherPortIsPassedOverForTheLooperThatAnswersLater)
{
    SimulatedLooper stranger = responder("Impostor", {"--reply-port", "5668"});
    ASSERT_TRUE(stranger.ready());
    ASSERT_TRUE(sim.ok("delay 200"));
    ConsoleCapture console;
    link.start();
    ASSERT_TRUE(received(kLogQuery, 3)) << stranger.received("rx ") << " messages reached the stranger";
    expectConnectedToTheLooper();
    session.stop();
    EXPECT_EQ(sim.received(kIdQuery), 1u);
    EXPECT_EQ(stranger.journal(), std::vector<std::string>{kIdQuery});
    EXPECT_EQ(secondLooperNotices(console), 0);
}

// A second looper's later answer (sent twice here) is told of once; the first
// found keeps the link.
TEST_F(Netns, ASecondLooperThatAnswersLaterIsToldOfOnceAndNeverPolled)
{
    SimulatedLooper second = responder("Second");
    ASSERT_TRUE(second.ready());
    ASSERT_TRUE(second.ok("delay 200") && second.ok("dup-replies 1"));
    ConsoleCapture console;
    const std::string told = "\"Two loopers answered: QXnetns at 10.77.0.2, Second at 10.77.0.3; using the first\"";
    link.start();
    ASSERT_TRUE(waitUntil([&] { return secondLooperNotices(console) > 0; }, 15s));
    ASSERT_TRUE(received(kLogQuery, sim.received(kLogQuery) + 3));
    expectConnectedToTheLooper();
    session.stop();
    EXPECT_EQ(secondLooperNotices(console), 1);
    EXPECT_EQ(std::ranges::count(console.lines(), told), 1);
    EXPECT_EQ(sim.received(kIdQuery), 1u);
    EXPECT_EQ(second.journal(), std::vector<std::string>{kIdQuery});
}

}  // namespace
}  // namespace qx::test
