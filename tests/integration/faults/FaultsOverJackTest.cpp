// The panel against a misbehaving looper on real JACK MIDI ports (a JACK
// server of the test's own on the dummy driver): the looper vanishes (killed
// by its PID) in the middle of a save, a restore, an upgrade and plain
// polling, or answers with a tenth of its replies garbled, doubled, or every
// reply late. In every case the panel keeps running, says how the command
// ended, never leaves a partial configuration file, and takes the looper up
// again when it returns.
#include "JackPatchbay.h"
#include "LinkUnderFaults.h"
#include "link/IdleNetworkSide.h"
#include "midi/RtMidiEndpoints.h"
#include "support/JackServer.h"

namespace qx::test {
namespace {

constexpr const char* kStatusRequest = "F0 00 02 33 02 F7";
constexpr const char* kUpgradeMessage = "F0 7D";

class FaultsOverJack : public LinkUnderFaults {
protected:
    FaultsOverJack() : LinkUnderFaults("rx midi", "\"Polling IP\"") {}

    void SetUp() override
    {
        makeFolder();
        ASSERT_TRUE(jack.ready()) << "jackd did not start";
        startLooper({QX_SIM_PATH, "--jack", "--journal"});
        // The stand-in network side finds nothing, as on a machine without a
        // network: when MIDI falls silent the link comes straight back to it.
        startLink(openSystemMidiEndpoints(), [](LinkHost& host) { return std::make_unique<IdleNetworkSide>(host); });
        ASSERT_TRUE(answering()) << "the panel never found the looper";
    }

    // The looper comes back as a new JACK client; a patchbay connects its
    // ports to the panel's, since the panel lists ports only at start-up.
    void looperReturns() override
    {
        startLooper({QX_SIM_PATH, "--jack", "--journal"});
        JackPatchbay patchbay;
        ASSERT_TRUE(patchbay.open());
        ASSERT_GE(patchbay.connect("^QX Looper Sim", "REDOVIVevorev_InPort$"), 1);
        ASSERT_GE(patchbay.connect("REDOVIVevorev_OutPort$", "^QX Looper Sim"), 1);
    }

    bool answering() override
    {
        return waitFor([this] { return link->interface().midiPolling.load(); }, 10s);
    }

    JackServer jack;
};

TEST_F(FaultsOverJack, LooperVanishingMidSaveEndsTheSaveWithoutAFileAndTheLinkRecovers) { vanishMidSave(); }

TEST_F(FaultsOverJack, LooperVanishingMidRestoreSendsNothingAndTheRestoreWorksOnceItReturns) { vanishMidRestore(); }

TEST_F(FaultsOverJack, LooperVanishingMidUpgradeLetsTheUpgradeRunOutAndTheNextOneArrivesWhole)
{
    // Over MIDI nothing is acknowledged: the panel cannot tell a vanished
    // looper from a listening one until the upgrade ends and polling resumes.
    const Bytes file = sysexUpgradeFile(60, 100);
    const auto path = folder / "firmware.syx";
    writeBytes(path, file);
    ASSERT_EQ(link->interface().loadUpgradeFile(path), std::nullopt);
    ASSERT_TRUE(waitFor([this] { return received(kUpgradeMessage) >= 10; }, 20s));
    looper->vanish();

    ASSERT_TRUE(waitFor([this] { return !upgradeOutcomes.empty(); }, 30s)) << "the upgrade never ended";
    EXPECT_TRUE(upgradeOutcomes[0].success);
    EXPECT_EQ(upgradeOutcomes[0].text, "Upgrade finished: 6000 bytes sent over MIDI");
    ASSERT_TRUE(givenUp(10s)) << "polling resumed after the upgrade and found the looper gone";
    // Which side holds the link at this moment decides the words; refused it is.
    const auto refused = link->interface().loadUpgradeFile(path);
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->starts_with("Upgrade refused: no looper")) << *refused;

    looperReturns();
    ASSERT_TRUE(answering());
    upgradeOutcomes.clear();
    ASSERT_EQ(link->interface().loadUpgradeFile(path), std::nullopt);
    ASSERT_TRUE(waitFor([this] { return !upgradeOutcomes.empty(); }, 30s));
    EXPECT_TRUE(upgradeOutcomes[0].success) << upgradeOutcomes[0].text;
    EXPECT_EQ(completion->completion(), 1.0);
    // JACK drops the MIDI events of a client that misses its cycle (a loaded
    // machine), and over MIDI nothing is acknowledged; so the image is checked
    // for what the panel controls: whole messages of the file, in its order,
    // each once, and everything the looper received went into it.
    const auto image = looper->command("upgrade-image-hex");
    ASSERT_EQ(image.size(), 2u);
    const std::vector<std::string> stored = splitMessages(image[0]);
    const std::vector<std::string> sent = splitMessages(hexText(file));
    EXPECT_TRUE(isOrderedSubset(stored, sent)) << image[0];
    EXPECT_EQ(stored.size(), received(kUpgradeMessage));
    EXPECT_GE(stored.size(), sent.size() * 9 / 10) << "more than a tenth lost in transport";
    RecordProperty("upgrade_messages_lost", static_cast<int>(sent.size() - stored.size()));
}

TEST_F(FaultsOverJack, PortVanishingWhilePollingHandsTheLinkOverUntilTheLooperReturns)
{
    ASSERT_TRUE(waitFor([this] { return received(kStatusRequest) >= 10; }, 5s));
    looper->vanish();
    ASSERT_TRUE(givenUp(5s));

    // The program keeps running: the link goes back and forth between the
    // MIDI search and the (empty) network side.
    bool sawMidi = false, sawNetwork = false;
    waitFor([&] {
        (link->interface().pollMIDI() ? sawMidi : sawNetwork) = true;
        return sawMidi && sawNetwork;
    }, 10s);
    EXPECT_TRUE(sawMidi && sawNetwork);

    looperReturns();
    ASSERT_TRUE(answering()) << "the link did not take the looper up again";
    EXPECT_GE(consoleCount("\"Polling MIDI\""), 2u);
    const long updates = gridUpdates;
    EXPECT_TRUE(waitFor([&] { return gridUpdates >= updates + 10; }, 5s)) << "the grid follows the returned looper";
}

class MisbehavingLooperOverJack : public FaultsOverJack, public ::testing::WithParamInterface<const char*> {};

TEST_P(MisbehavingLooperOverJack, PollingHoldsSavesAreWholeAndRestoresLand) { misbehaving(GetParam(), kStatusRequest); }

INSTANTIATE_TEST_SUITE_P(Faults, MisbehavingLooperOverJack,
                         ::testing::Values("garble 0.1", "dup-replies 0.1", "delay 150"), faultName);

}  // namespace
}  // namespace qx::test
