// The panel against a misbehaving looper over the network: the panel in one
// network namespace, the simulated looper in another, joined by a veth pair
// (10.77.0.1 and 10.77.0.2, addresses that exist only inside them). No MIDI
// ports are opened, so MIDI hands the link to the network side at once.
//
// The looper vanishes (killed by its PID) in the middle of a save, a restore,
// an upgrade and plain polling, or answers with a tenth of its replies
// garbled, doubled, or every reply late. In every case the panel keeps
// running, says how the command ended, never leaves a partial configuration
// file, and finds the looper again when it returns.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>

#include "FaultSupport.h"
#include "LooperProcess.h"
#include "NamespaceGuard.h"
#include "common/MainQueue.h"
#include "link/LooperLink.h"
#include "model/DisplayModels.h"
#include "model/Tracks.h"
#include "net/QXNetworkInterface.h"
#include "support/ConsoleCapture.h"

namespace qx {
namespace {

using namespace std::chrono_literals;
using test::Json;

constexpr const char* kBlockRequest = "rx udp F0 00 02 33 0E";
constexpr const char* kStatusQuery = "rx udp <query>status compact</query>";
constexpr const char* kSlice = "rx udp 00 03 ";
constexpr const char* kDeviceLine = "QXfault - 10.77.0.2:5667";

class FaultsOverNetwork : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::insideNamespace(QX_PANEL_NETNS)) << "run with: ip netns exec " << QX_PANEL_NETNS;
        char pattern[] = "/tmp/qx-faults-udp-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        startLooper();
        link = std::make_unique<LooperLink>(ui, nullptr, [this](LinkHost& host) {
            QXNetworkInterface::Options options;
            options.enumerate = test::testSubnetInterfaces;  // never the machine's own interfaces
            auto side = std::make_unique<QXNetworkInterface>(host, options);
            network = side.get();
            return side;
        });
        link->interface().qxInfoString = deviceLine;
        link->interface().completionModel = completion;
        link->interface().tracksModel = tracks;
        tracks->subscribe([this] { ++gridUpdates; });
        link->saveableConfig().setOutcomeHandler([this](const Outcome& o) { outcomes.push_back(o); });
        link->interface().setUpgradeOutcomeHandler([this](const Outcome& o) { upgradeOutcomes.push_back(o); });
        link->start();
        ASSERT_TRUE(answering()) << "the network side did not find the looper";
    }
    void TearDown() override
    {
        if (link) link->stop();
        link.reset();
        looper.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    void startLooper()
    {
        looper = std::make_unique<test::LooperProcess>(std::vector<std::string>{
            "ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "0.0.0.0", "--journal", "--name", "QXfault"});
        ASSERT_TRUE(looper->running());
        ASSERT_TRUE(looper->ready()) << "the simulated looper did not come up in " << QX_LOOPER_NETNS;
    }

    // The looper comes back at its address; the panel must take it up again
    // by itself: by discovery once it has given the looper up, or simply by
    // its next status query while it has not noticed the silence yet.
    void looperReturns() { startLooper(); }

    // True once the looper has been shown and the track grid follows its
    // status reports again.
    bool answering(std::chrono::milliseconds limit = 30s)
    {
        const long updatesBefore = gridUpdates;
        return waitFor([&] { return deviceLine->text() == kDeviceLine && gridUpdates >= updatesBefore + 3; }, limit);
    }

    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit)
    {
        return test::pumpUntil(ui, done, limit);
    }

    std::size_t consoleCount(const std::string& line) const
    {
        const auto lines = console.lines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }

    Json looperConfiguration()
    {
        for (const std::string& line : looper->command("dump-config"))
            if (!line.empty() && line[0] == '{') return Json::parse(line, nullptr, false);
        return {};
    }

    void saveCleanly(const std::filesystem::path& path)
    {
        outcomes.clear();
        ASSERT_EQ(link->saveableConfig().saveConfiguration(path), std::nullopt);
        ASSERT_TRUE(waitFor([this] { return !outcomes.empty(); }, 60s)) << "the save did not end";
        ASSERT_TRUE(outcomes[0].success) << outcomes[0].text;
        ASSERT_EQ(test::configurationFault(test::readText(path)), "");
    }

    // Restores the file until the looper holds its mappings, at most twice (a
    // mapping write is not acknowledged). Returns how many restores it took,
    // 3 when two were not enough.
    int restoreUntilLanded(const std::filesystem::path& path, const Json& wanted)
    {
        for (int attempt = 1; attempt <= 2; ++attempt) {
            outcomes.clear();
            if (link->saveableConfig().restoreConfiguration(path)) return 3;
            if (!waitFor([this] { return !outcomes.empty(); }, 60s) || !outcomes[0].success) return 3;
            waitFor([this] { return link->interface().cmdQueue.count() == 0; }, 10s);
            waitFor([] { return false; }, 300ms);  // the last write's way to the looper
            if (looperConfiguration()["MIDIButtons"] == wanted["MIDIButtons"]) return attempt;
        }
        return 3;
    }

    std::filesystem::path folder;
    test::ConsoleCapture console;
    ManualMainQueue ui;
    std::shared_ptr<ObservableText> deviceLine = std::make_shared<ObservableText>();
    std::shared_ptr<CompletionPercent> completion = std::make_shared<CompletionPercent>();
    std::shared_ptr<Tracks> tracks = std::make_shared<Tracks>();
    long gridUpdates = 0;  // UI thread
    std::unique_ptr<test::LooperProcess> looper;
    QXNetworkInterface* network = nullptr;
    std::unique_ptr<LooperLink> link;
    std::vector<Outcome> outcomes;
    std::vector<Outcome> upgradeOutcomes;
};

TEST_F(FaultsOverNetwork, LooperVanishingMidSaveEndsTheSaveWithoutAFileAndTheLinkRecovers)
{
    const auto path = folder / "looper.cfg";
    ASSERT_EQ(link->saveableConfig().saveConfiguration(path), std::nullopt);
    ASSERT_TRUE(waitFor([this] { return looper->received(kBlockRequest) >= 8; }, 20s));
    looper->vanish();

    ASSERT_TRUE(waitFor([this] { return !outcomes.empty(); }, 60s)) << "the save never ended";
    EXPECT_FALSE(outcomes[0].success);
    EXPECT_EQ(outcomes[0].text, "The looper did not answer: nothing saved");
    EXPECT_EQ(test::folderEntries(folder), std::vector<std::string>{}) << "no file, not even a temporary one";
    EXPECT_TRUE(waitFor([this] { return consoleCount("\"pollAttempts too many\"") >= 1; }, 10s))
        << "the network side noticed the silence";

    looperReturns();
    ASSERT_TRUE(answering()) << "the looper was not found again";
    saveCleanly(path);
    const Json saved = Json::parse(test::readText(path));
    const Json looperHolds = looperConfiguration();
    EXPECT_EQ(saved["MIDIButtons"], looperHolds["MIDIButtons"]);
    for (const char* bank : {"QX2Effects1", "QX2Effects2"})
        EXPECT_TRUE(saved[bank] == looperHolds[bank] || saved[bank].empty()) << bank;
}

TEST_F(FaultsOverNetwork, LooperVanishingMidRestoreSendsNothingAndTheRestoreWorksOnceItReturns)
{
    Json wanted = looperConfiguration();
    ASSERT_TRUE(wanted.is_object());
    wanted["MIDIButtons"]["0"] = {16, 16, -1, -1, -1, -1, -1, -1};
    wanted["MIDIButtons"]["131"] = {2103, 1, 2, 3, 4, 5, 6, 7};
    const auto path = folder / "wanted.cfg";
    const std::string text = wanted.dump();
    std::ofstream(path) << text;

    ASSERT_EQ(link->saveableConfig().restoreConfiguration(path), std::nullopt);
    ASSERT_TRUE(waitFor([this] { return looper->received(kBlockRequest) >= 8; }, 20s));
    looper->vanish();
    ASSERT_TRUE(waitFor([this] { return !outcomes.empty(); }, 60s)) << "the restore never ended";
    EXPECT_FALSE(outcomes[0].success);
    EXPECT_EQ(outcomes[0].text, "The looper did not answer: nothing restored");
    EXPECT_EQ(test::readText(path), text) << "a restore never touches its file";

    looperReturns();
    ASSERT_TRUE(answering());
    waitFor([] { return false; }, 1s);
    EXPECT_EQ(looper->received("rx udp F0 00 02 33 10"), 0u) << "nothing of the failed restore was left queued";

    const int attempts = restoreUntilLanded(path, wanted);
    EXPECT_LE(attempts, 2) << "the looper does not hold the restored file";
    RecordProperty("restore_attempts", attempts);
    if (attempts == 1) {
        EXPECT_EQ(outcomes[0].text, "Restored from " + path.string() + ": 2 button mappings sent");
    }
}

TEST_F(FaultsOverNetwork, LooperVanishingMidUpgradeStopsItWithAReasonAndTheNextOneArrivesWhole)
{
    std::mt19937 random(7);
    Bytes file(40 * 512 + 100);
    for (auto& b : file) b = static_cast<std::uint8_t>(random());
    const auto path = folder / "firmware.bin";
    test::writeBytes(path, file);

    // Acknowledgements 30 ms late make the transfer last long enough to cut.
    ASSERT_EQ(looper->command("delay 30").back(), "ok");
    ASSERT_FALSE(link->interface().pollMIDI()) << "the network side holds the link";
    ASSERT_EQ(link->interface().loadUpgradeFile(path), std::nullopt);
    ASSERT_TRUE(waitFor([this] { return looper->received(kSlice) >= 10; }, 20s));
    looper->vanish();

    ASSERT_TRUE(waitFor([this] { return !upgradeOutcomes.empty(); }, 30s)) << "the upgrade never ended";
    EXPECT_FALSE(upgradeOutcomes[0].success);
    EXPECT_TRUE(upgradeOutcomes[0].text.starts_with("Upgrade stopped: the looper fell silent at slice "))
        << upgradeOutcomes[0].text;
    EXPECT_TRUE(upgradeOutcomes[0].text.ends_with(" of 41")) << upgradeOutcomes[0].text;
    EXPECT_LT(completion->completion(), 1.0) << "the progress stays where the looper left";
    EXPECT_TRUE(waitFor([this] { return consoleCount("\"pollAttempts too many\"") >= 1; }, 10s))
        << "polling resumed and noticed the silence";

    looperReturns();
    ASSERT_TRUE(answering());
    upgradeOutcomes.clear();
    ASSERT_TRUE(waitFor([this] { return !link->interface().pollMIDI(); }, 10s));
    ASSERT_EQ(link->interface().loadUpgradeFile(path), std::nullopt);
    ASSERT_TRUE(waitFor([this] { return !upgradeOutcomes.empty(); }, 60s));
    EXPECT_TRUE(upgradeOutcomes[0].success) << upgradeOutcomes[0].text;
    EXPECT_EQ(upgradeOutcomes[0].text, "Upgrade finished: 20580 bytes sent over the network");
    EXPECT_EQ(completion->completion(), 1.0);
    const auto image = looper->command("upgrade-image-hex");
    ASSERT_EQ(image.size(), 2u);
    EXPECT_EQ(image[0], test::hexText(file)) << "the looper holds the file byte for byte";
}

TEST_F(FaultsOverNetwork, LooperVanishingWhilePollingHandsTheLinkBackUntilItIsFoundAgain)
{
    ASSERT_TRUE(waitFor([this] { return looper->received(kStatusQuery) >= 10; }, 10s));
    looper->vanish();
    ASSERT_TRUE(waitFor([this] { return consoleCount("\"pollAttempts too many\"") >= 1; }, 10s));

    // The program keeps running: the link goes back and forth between the
    // (empty) MIDI side and the network search.
    bool sawMidi = false, sawNetwork = false;
    waitFor([&] {
        (link->interface().pollMIDI() ? sawMidi : sawNetwork) = true;
        return sawMidi && sawNetwork;
    }, 15s);
    EXPECT_TRUE(sawMidi && sawNetwork);
    EXPECT_FALSE(network->looperAddress() && network->pollAttemptsNow() == 0);

    // Given up, the looper can only come back through discovery, which shows
    // its line again.
    deviceLine->setText("");
    looperReturns();
    ASSERT_TRUE(answering()) << "the looper was not found again";
    EXPECT_TRUE(waitFor([this] { return looper->received(kStatusQuery) >= 10; }, 10s)) << "polling goes on";
}

// A looper misbehaving in one way: polling holds, a save under the fault
// writes a whole file, and restoring a clean file under the fault leaves the
// looper holding exactly that file.
class MisbehavingLooperOverNetwork : public FaultsOverNetwork,
                                     public ::testing::WithParamInterface<const char*> {};

TEST_P(MisbehavingLooperOverNetwork, PollingHoldsSavesAreWholeAndRestoresLand)
{
    const auto clean = folder / "clean.cfg";
    saveCleanly(clean);
    const Json original = Json::parse(test::readText(clean));

    ASSERT_EQ(looper->command(GetParam()).back(), "ok");
    const std::size_t silences = consoleCount("\"pollAttempts too many\"");
    const std::size_t before = looper->received(kStatusQuery);
    ASSERT_TRUE(waitFor([&] { return looper->received(kStatusQuery) >= before + 40; }, 20s));
    EXPECT_EQ(consoleCount("\"pollAttempts too many\""), silences) << "the link held through the faults";

    const auto faulty = folder / "under-faults.cfg";
    saveCleanly(faulty);
    // Nothing in the protocol catches a garbled value, so the file may differ
    // from the looper; it is still a whole configuration file.
    RecordProperty("buttons_differing", test::differingButtons(Json::parse(test::readText(faulty)), original));

    const int attempts = restoreUntilLanded(clean, original);
    EXPECT_LE(attempts, 2) << "the looper does not hold the restored file";
    RecordProperty("restore_attempts", attempts);
}

INSTANTIATE_TEST_SUITE_P(Faults, MisbehavingLooperOverNetwork,
                         ::testing::Values("garble 0.1", "dup-replies 0.1", "delay 150"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

}  // namespace
}  // namespace qx
