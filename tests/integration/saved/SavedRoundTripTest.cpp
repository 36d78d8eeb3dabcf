// Save and restore against the simulated looper, built once per link: over
// JACK MIDI (the test starts its own JACK server) and, with QX_OVER_UDP, over
// the network with the panel in one namespace and the simulator in another,
// joined by a veth pair (10.77.0.1 and 10.77.0.2, which exist only inside
// them). The saved file is the looper's configuration, and a restore leaves
// the looper holding exactly the file's mappings after writing only the
// changed ones.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>

#include "SimulatedLooper.h"
#include "link/LooperLink.h"
#include "midi/Messages.h"
#include "support/Hex.h"
#ifdef QX_OVER_UDP
#include "NamespaceGuard.h"
#include "net/QXNetworkInterface.h"
const std::string kJournal = "rx udp ";
#else
#include "link/IdleNetworkSide.h"
#include "midi/RtMidiEndpoints.h"
#include "support/JackServer.h"
const std::string kJournal = "rx midi ";
#endif

namespace qx {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

const std::string kWrite = kJournal + "F0 00 02 33 10";

class SavedRoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(::mkdtemp(folder.data()), nullptr);
#ifdef QX_OVER_UDP
        ASSERT_TRUE(test::insideNamespace(QX_PANEL_NETNS)) << "run with: ip netns exec " << QX_PANEL_NETNS;
        sim = std::make_unique<test::SimulatedLooper>(std::vector<std::string>{
            "ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "0.0.0.0", "--journal", "--name", "QXsaved"});
        ASSERT_TRUE(sim->ready()) << "the simulator did not come up in " << QX_LOOPER_NETNS;
        link = std::make_unique<LooperLink>(ui, nullptr, [](LinkHost& host) {
            QXNetworkInterface::Options options;
            options.enumerate = test::testSubnetInterfaces;  // never the machine's own interfaces
            return std::make_unique<QXNetworkInterface>(host, options);
        });
        link->interface().qxInfoString = deviceLine;
        const auto found = [this] { return deviceLine->text() == "QXsaved - 10.77.0.2:5667"; };
#else
        ASSERT_TRUE(jack.ready()) << "jackd did not start";
        sim = std::make_unique<test::SimulatedLooper>(std::vector<std::string>{QX_SIM_PATH, "--jack", "--journal"});
        ASSERT_TRUE(sim->ready()) << "the simulated looper did not open its ports";
        link = std::make_unique<LooperLink>(ui, openSystemMidiEndpoints(),
                                            [](LinkHost& host) { return std::make_unique<IdleNetworkSide>(host); });
        const auto found = [this] { return link->interface().pollTries.load() == 0; };
#endif
        link->saveableConfig().setOutcomeHandler([this](const Outcome& o) { outcomes.push_back(o); });
        link->start();
        ASSERT_TRUE(pumpUntil(found, 20s)) << "no looper found";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
    {
        for (const auto until = std::chrono::steady_clock::now() + timeout; std::chrono::steady_clock::now() < until;)
            if (ui.waitAndDrain(10ms), done()) return true;
        return false;
    }
    // Takes one save or restore to its end and returns the file it names.
    Json run(std::optional<std::string> refusal, const std::string& file)
    {
        EXPECT_EQ(refusal, std::nullopt);
        outcomes.clear();
        EXPECT_TRUE(pumpUntil([this] { return !outcomes.empty(); }, 60s) && outcomes[0].success)
            << (outcomes.empty() ? "the transfer did not end" : outcomes[0].text);
        return Json::parse(std::ifstream(folder + "/" + file), nullptr, false);
    }
    // The simulator answers with the JSON line, then "ok".
    Json looperConfiguration() { return Json::parse(sim->command("dump-config").at(0)); }
    // The mapping writes the looper took, from the journal line at from on, sorted.
    std::vector<std::string> writesSince(std::size_t from)
    {
        std::vector<std::string> writes;
        const auto journal = sim->journal();
        for (std::size_t i = from; i < journal.size(); ++i)
            if (journal[i].starts_with(kWrite)) writes.push_back(journal[i]);
        std::ranges::sort(writes);
        return writes;
    }

    std::string folder = "/tmp/qx-saved-link-XXXXXX";
#ifndef QX_OVER_UDP
    test::JackServer jack;
#endif
    ManualMainQueue ui;
    std::shared_ptr<ObservableText> deviceLine = std::make_shared<ObservableText>();
    std::unique_ptr<test::SimulatedLooper> sim;
    std::unique_ptr<LooperLink> link;
    std::vector<Outcome> outcomes;
};

TEST_F(SavedRoundTrip, SavedFileIsTheLooperAndRestoreWritesOnlyTheChangedButtons)
{
    QXSaveableConfig& saved = link->saveableConfig();
    Json wanted = run(saved.saveConfiguration(folder + "/original.cfg"), "original.cfg");
    EXPECT_EQ(wanted, looperConfiguration());
    EXPECT_TRUE(writesSince(0).empty());

    // In code order, which is also the order of their journal lines sorted.
    const std::pair<std::int64_t, msg::Bank> changes[] = {
        {0, {16, 16, -1, -1, -1, -1, -1, -1}}, {200, {-1, -1, -1, -1, -1, -1, -1, -1}}, {383, {2103, 0, 0, 0, 0, 0, 0, 48}}};
    std::vector<std::string> expected;
    for (const auto& [code, slots] : changes) {
        wanted["MIDIButtons"][std::to_string(code)] = slots;
        expected.push_back(kJournal + test::toHex(msg::buttonMappingWrite(code, slots)));
    }
    std::ofstream(folder + "/changed.cfg") << wanted.dump();

    const std::size_t journalBefore = sim->journal().size();
    run(saved.restoreConfiguration(folder + "/changed.cfg"), "changed.cfg");
    EXPECT_EQ(outcomes.at(0).text, "Restored from " + folder + "/changed.cfg: 3 button mappings sent");
    // The writes leave after the transfer, one per polling cycle, in the
    // file's member order, which is not promised.
    ASSERT_TRUE(pumpUntil([&] { return writesSince(journalBefore).size() >= 3; }, 10s));
    pumpUntil([] { return false; }, 300ms);
    EXPECT_EQ(writesSince(journalBefore), expected);
    EXPECT_EQ(looperConfiguration()["MIDIButtons"], wanted["MIDIButtons"]);

    // A save right after shows the restored mappings, not late answers left
    // over from the restore's own reading.
    EXPECT_EQ(run(saved.saveConfiguration(folder + "/after.cfg"), "after.cfg")["MIDIButtons"], wanted["MIDIButtons"]);
}

}  // namespace
}  // namespace qx
