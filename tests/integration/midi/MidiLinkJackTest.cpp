// The MIDI link against the simulated looper on real JACK MIDI ports.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <functional>

#include "common/MainQueue.h"
#include "link/IdleNetworkSide.h"
#include "midi/QXInterface.h"
#include "midi/RtMidiEndpoints.h"
#include "support/ChildProcess.h"
#include "support/ConsoleCapture.h"
#include "support/Hex.h"
#include "support/JackServer.h"

namespace qx {
namespace {

using namespace std::chrono_literals;

const std::string kStatusRx = "rx midi F0 00 02 33 02 F7";
const std::string kLogRx = "rx midi F0 00 02 33 03 F7";

class MidiLinkOverJack : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(jack.ready()) << "jackd did not start";
        ASSERT_TRUE(sim.waitFor("ready", 10s)) << "the simulated looper did not open its ports";
        link = std::make_unique<QXInterface>(ui, openSystemMidiEndpoints());
        ASSERT_TRUE(std::ranges::any_of(link->destinations(), [](const std::string& n) {
            return n.find("QX Looper Sim") != std::string::npos;
        })) << "the looper's ports are not among the destinations";
        network = std::make_unique<IdleNetworkSide>(*link);
        link->attachNetwork(network.get());
        link->tracksModel = tracks;
        link->start();
        network->start();
    }
    void TearDown() override
    {
        if (network) network->stop();
        if (link) link->stop();
    }

    // Reads the looper's journal lines of received messages until done holds
    // for the lines so far, or the time is up; false then.
    bool receiveUntil(const std::function<bool(const std::vector<std::string>&)>& done,
                      std::chrono::milliseconds timeout, std::vector<std::string>& lines)
    {
        const auto until = std::chrono::steady_clock::now() + timeout;
        std::string line;
        while (std::chrono::steady_clock::now() < until) {
            ui.drain();
            if (sim.readLine(line, 20ms) && line.rfind("rx ", 0) == 0) {
                lines.push_back(line);
                if (done(lines)) return true;
            }
        }
        return false;
    }
    long consoleCount(const std::string& line)
    {
        const auto lines = console.lines();
        return std::count(lines.begin(), lines.end(), line);
    }
    // Every line that arrives for a while.
    std::vector<std::string> received(std::chrono::milliseconds duration)
    {
        std::vector<std::string> lines;
        receiveUntil([](const auto&) { return false; }, duration, lines);
        return lines;
    }

    test::JackServer jack;
    test::ChildProcess sim{{QX_SIM_PATH, "--jack", "--journal"}};
    test::ConsoleCapture console;
    ManualMainQueue ui;
    std::shared_ptr<Tracks> tracks = std::make_shared<Tracks>();
    std::unique_ptr<QXInterface> link;
    std::unique_ptr<IdleNetworkSide> network;
};

TEST_F(MidiLinkOverJack, FindsTheLooperPollsItFollowsItsTracksAndAfterASilenceAsksForTheConfiguration)
{
    // Found at once: the search sends one request, then polling takes over.
    std::vector<std::string> lines = received(1500ms);
    ASSERT_GE(lines.size(), 12u);
    EXPECT_EQ(lines[0], kStatusRx);
    const auto firstLog = std::find(lines.begin(), lines.end(), kLogRx);
    ASSERT_NE(firstLog, lines.end());
    for (auto it = firstLog + 1; it + 6 <= lines.end(); it += 6) {
        for (int i = 0; i < 5; ++i) EXPECT_EQ(it[i], kStatusRx);
        EXPECT_EQ(it[5], kLogRx);
    }
    EXPECT_EQ(consoleCount("\"Polling MIDI\""), 1);
    EXPECT_TRUE(link->pollMIDI());
    ui.drain();
    EXPECT_FALSE(tracks->tracks()[0].status.empty()) << "the track grid follows the looper";
    EXPECT_FALSE(tracks->tracks()[0].length.empty());

    // An answer after a silence asks for the configuration again, in order.
    const long asked = consoleCount("\"Requesting configuration\"");
    lines.clear();
    sim.send("silent");
    // Seven requests: a couple may have been answered before the looper went
    // quiet, and ten unanswered would end polling.
    ASSERT_TRUE(receiveUntil([](const auto& l) { return std::count(l.begin(), l.end(), kStatusRx) >= 7; }, 3s, lines));
    sim.send("answer");
    lines.clear();
    ASSERT_TRUE(receiveUntil(
        [](const auto& l) { return std::count(l.begin(), l.end(), "rx midi F0 00 02 33 14 48 F7") >= 1; }, 3s, lines));
    std::erase_if(lines, [](const std::string& l) { return l == kStatusRx || l == kLogRx; });
    EXPECT_EQ(lines, (std::vector<std::string>{"rx midi F0 00 02 33 09 F7", "rx midi F0 00 02 33 16 F7",
                                               "rx midi F0 00 02 33 14 00 F7", "rx midi F0 00 02 33 14 48 F7"}));
    EXPECT_EQ(consoleCount("\"Requesting configuration\""), asked + 1);
}

TEST_F(MidiLinkOverJack, UpgradeArrivesWholeWhilePollingPauses)
{
    received(500ms);
    // Forty messages of assorted lengths up to one packet, of a type the
    // looper does not otherwise use.
    Bytes file;
    for (int i = 0; i < 40; ++i) {
        Bytes m(static_cast<std::size_t>(8 + (i * 37) % 249), static_cast<std::uint8_t>(i));
        m.front() = 0xF0, m[1] = 0x7D, m.back() = 0xF7;
        file.insert(file.end(), m.begin(), m.end());
    }
    const auto path = std::filesystem::temp_directory_path() / ("qx-midi-upgrade-" + std::to_string(getpid()) + ".syx");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));

    std::optional<Outcome> outcome;
    link->setUpgradeOutcomeHandler([&](const Outcome& o) { outcome = o; });
    ASSERT_EQ(link->loadUpgradeFile(path.string()), std::nullopt);
    std::vector<std::string> lines;
    receiveUntil([&](const auto&) { return outcome.has_value(); }, 15s, lines);
    ui.drain();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->success) << outcome->text;

    const auto isUpgrade = [](const std::string& l) { return l.rfind("rx midi F0 7D", 0) == 0; };
    const auto first = std::find_if(lines.begin(), lines.end(), isUpgrade);
    const auto last = std::find_if(lines.rbegin(), lines.rend(), isUpgrade).base();
    ASSERT_NE(first, lines.end());
    EXPECT_EQ(last - first, 40) << "one message per cycle, nothing in between";
    EXPECT_TRUE(std::all_of(first, last, isUpgrade));

    sim.send("upgrade-image-hex");
    std::vector<std::string> answer;
    ASSERT_TRUE(sim.waitFor("ok", 5s, &answer));
    std::erase_if(answer, [](const std::string& l) { return l.rfind("rx ", 0) == 0; });
    EXPECT_EQ(answer, std::vector<std::string>{test::toHex(file)}) << "the looper holds the file byte for byte";
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace qx
