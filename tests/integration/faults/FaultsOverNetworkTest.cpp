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
#include <random>

#include "LinkUnderFaults.h"
#include "NamespaceGuard.h"
#include "net/QXNetworkInterface.h"

namespace qx::test {
namespace {

constexpr const char* kStatusQuery = "<query>status compact</query>";
constexpr const char* kSlice = "00 03 ";
constexpr const char* kDeviceLine = "QXfault - 10.77.0.2:5667";

class FaultsOverNetwork : public LinkUnderFaults {
protected:
    FaultsOverNetwork() : LinkUnderFaults("rx udp", "\"pollAttempts too many\"") {}

    void SetUp() override
    {
        ASSERT_TRUE(insideNamespace(QX_PANEL_NETNS)) << "run with: ip netns exec " << QX_PANEL_NETNS;
        makeFolder();
        looperReturns();
        startLink(nullptr, [](LinkHost& host) {
            QXNetworkInterface::Options options;
            options.enumerate = testSubnetInterfaces;  // never the machine's own interfaces
            return std::make_unique<QXNetworkInterface>(host, options);
        });
        ASSERT_TRUE(answering()) << "the network side did not find the looper";
    }

    // The looper comes back at its address. The panel takes it up again by
    // discovery once it has given it up, or simply by its next status query
    // while it has not noticed the silence yet.
    void looperReturns() override
    {
        startLooper({"ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "0.0.0.0", "--journal", "--name",
                     "QXfault"});
    }

    // Shown, and the track grid follows its status reports.
    bool answering() override
    {
        const long before = gridUpdates;
        return waitFor([&] { return deviceLine->text() == kDeviceLine && gridUpdates >= before + 3; }, 30s);
    }
};

TEST_F(FaultsOverNetwork, LooperVanishingMidSaveEndsTheSaveWithoutAFileAndTheLinkRecovers) { vanishMidSave(); }

TEST_F(FaultsOverNetwork, LooperVanishingMidRestoreSendsNothingAndTheRestoreWorksOnceItReturns) { vanishMidRestore(); }

TEST_F(FaultsOverNetwork, LooperVanishingMidUpgradeStopsItWithAReasonAndTheNextOneArrivesWhole)
{
    std::mt19937 random(7);
    Bytes file(40 * 512 + 100);
    for (auto& b : file) b = static_cast<std::uint8_t>(random());
    const auto path = folder / "firmware.bin";
    writeBytes(path, file);

    // Acknowledgements 30 ms late make the transfer last long enough to cut.
    ASSERT_EQ(looper->command("delay 30").back(), "ok");
    ASSERT_FALSE(link->interface().pollMIDI()) << "the network side holds the link";
    ASSERT_EQ(link->interface().loadUpgradeFile(path), std::nullopt);
    ASSERT_TRUE(waitFor([this] { return received(kSlice) >= 10; }, 20s));
    looper->vanish();

    ASSERT_TRUE(waitFor([this] { return !upgradeOutcomes.empty(); }, 30s)) << "the upgrade never ended";
    EXPECT_FALSE(upgradeOutcomes[0].success);
    EXPECT_TRUE(upgradeOutcomes[0].text.starts_with("Upgrade stopped: the looper fell silent at slice "))
        << upgradeOutcomes[0].text;
    EXPECT_TRUE(upgradeOutcomes[0].text.ends_with(" of 41")) << upgradeOutcomes[0].text;
    EXPECT_LT(completion->completion(), 1.0) << "the progress stays where the looper left";
    EXPECT_TRUE(givenUp(10s)) << "polling resumed and noticed the silence";

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
    EXPECT_EQ(image[0], hexText(file)) << "the looper holds the file byte for byte";
}

TEST_F(FaultsOverNetwork, LooperVanishingWhilePollingHandsTheLinkBackUntilItIsFoundAgain)
{
    ASSERT_TRUE(waitFor([this] { return received(kStatusQuery) >= 10; }, 10s));
    looper->vanish();
    ASSERT_TRUE(givenUp(10s));

    // The program keeps running: the link goes back and forth between the
    // (empty) MIDI side and the network search.
    bool sawMidi = false, sawNetwork = false;
    waitFor([&] {
        (link->interface().pollMIDI() ? sawMidi : sawNetwork) = true;
        return sawMidi && sawNetwork;
    }, 15s);
    EXPECT_TRUE(sawMidi && sawNetwork);

    // Given up, the looper can only come back through discovery, which shows
    // its line again.
    deviceLine->setText("");
    looperReturns();
    ASSERT_TRUE(answering()) << "the looper was not found again";
    EXPECT_TRUE(waitFor([this] { return received(kStatusQuery) >= 10; }, 10s)) << "polling goes on";
}

class MisbehavingLooperOverNetwork : public FaultsOverNetwork, public ::testing::WithParamInterface<const char*> {};

TEST_P(MisbehavingLooperOverNetwork, PollingHoldsSavesAreWholeAndRestoresLand) { misbehaving(GetParam(), kStatusQuery); }

INSTANTIATE_TEST_SUITE_P(Faults, MisbehavingLooperOverNetwork,
                         ::testing::Values("garble 0.1", "dup-replies 0.1", "delay 150"), faultName);

}  // namespace
}  // namespace qx::test
