// Save and restore over the network link: the panel in one network namespace,
// the simulated looper in another, joined by a veth pair (10.77.0.1 and
// 10.77.0.2, addresses that exist only inside them). No MIDI ports are opened,
// so MIDI hands the link to the network side at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "NamespaceGuard.h"
#include "SimulatedLooper.h"
#include "common/MainQueue.h"
#include "link/LooperLink.h"
#include "midi/Messages.h"
#include "net/QXNetworkInterface.h"
#include "support/ConsoleCapture.h"

namespace qx {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

const std::string kWritePrefix = "rx udp F0 00 02 33 10";

std::string journalText(const Bytes& bytes)
{
    std::string text = "rx udp";
    char item[4];
    for (auto b : bytes) {
        std::snprintf(item, sizeof item, " %02X", b);
        text += item;
    }
    return text;
}

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class SavedOverUdp : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::insideNamespace(QX_PANEL_NETNS)) << "run with: ip netns exec " << QX_PANEL_NETNS;
        char pattern[] = "/tmp/qx-saved-udp-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        sim = std::make_unique<test::SimulatedLooper>(std::vector<std::string>{
            "ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "0.0.0.0", "--journal", "--name", "QXsaved"});
        ASSERT_TRUE(sim->started());
        ASSERT_TRUE(sim->ready()) << "the simulator did not come up in " << QX_LOOPER_NETNS;

        link = std::make_unique<LooperLink>(ui, nullptr, [](LinkHost& host) {
            QXNetworkInterface::Options options;
            options.enumerate = test::testSubnetInterfaces;  // never the machine's own interfaces
            return std::make_unique<QXNetworkInterface>(host, options);
        });
        link->interface().qxInfoString = deviceLine;
        link->saveableConfig().setOutcomeHandler([this](const Outcome& o) { outcomes.push_back(o); });
        link->start();
        ASSERT_TRUE(pumpUntil([this] { return deviceLine->text() == "QXsaved - 10.77.0.2:5667"; }, 20s))
            << "the network side did not find the looper";
    }
    void TearDown() override
    {
        if (link) link->stop();
        link.reset();
        sim.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
    {
        const auto until = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < until) {
            ui.waitAndDrain(10ms);
            if (done()) return true;
        }
        return false;
    }

    Json looperConfiguration()
    {
        for (const std::string& line : sim->command("dump-config"))
            if (!line.empty() && line[0] == '{') return Json::parse(line);
        return {};
    }

    std::vector<std::string> journalWith(const std::string& prefix, std::size_t from = 0)
    {
        std::vector<std::string> found;
        const auto journal = sim->journal();
        for (std::size_t i = from; i < journal.size(); ++i)
            if (journal[i].rfind(prefix, 0) == 0) found.push_back(journal[i]);
        return found;
    }

    std::filesystem::path folder;
    test::ConsoleCapture console;
    ManualMainQueue ui;
    std::shared_ptr<ObservableText> deviceLine = std::make_shared<ObservableText>();
    std::unique_ptr<test::SimulatedLooper> sim;
    std::unique_ptr<LooperLink> link;
    std::vector<Outcome> outcomes;
};

TEST_F(SavedOverUdp, SavedFileIsTheLooperConfiguration)
{
    ASSERT_FALSE(link->interface().pollMIDI()) << "the network side holds the link";
    const auto path = folder / "looper.cfg";
    ASSERT_EQ(link->saveableConfig().saveConfiguration(path), std::nullopt);
    ASSERT_TRUE(pumpUntil([this] { return !outcomes.empty(); }, 60s)) << "the save did not end";
    ASSERT_TRUE(outcomes[0].success) << outcomes[0].text;

    const Json looper = looperConfiguration();
    ASSERT_TRUE(looper.is_object());
    EXPECT_EQ(Json::parse(readText(path)), looper);
    EXPECT_GE(journalWith("rx udp F0 00 02 33 0E").size(), 48u);
    EXPECT_TRUE(journalWith(kWritePrefix).empty());
}

TEST_F(SavedOverUdp, RestoreWritesOnlyTheChangedButtons)
{
    const auto original = folder / "original.cfg";
    ASSERT_EQ(link->saveableConfig().saveConfiguration(original), std::nullopt);
    ASSERT_TRUE(pumpUntil([this] { return !outcomes.empty(); }, 60s));
    ASSERT_TRUE(outcomes[0].success) << outcomes[0].text;

    Json wanted = Json::parse(readText(original));
    const std::map<std::int64_t, msg::Bank> changes = {{0, {16, 16, -1, -1, -1, -1, -1, -1}},
                                                       {131, {2103, 1, 2, 3, 4, 5, 6, 7}}};
    for (const auto& [code, slots] : changes) {
        ASSERT_NE(wanted["MIDIButtons"][std::to_string(code)].get<msg::Bank>(), slots);
        wanted["MIDIButtons"][std::to_string(code)] = slots;
    }
    std::ofstream(folder / "changed.cfg") << wanted.dump();

    const std::size_t journalBefore = sim->journal().size();
    outcomes.clear();
    ASSERT_EQ(link->saveableConfig().restoreConfiguration(folder / "changed.cfg"), std::nullopt);
    ASSERT_TRUE(pumpUntil([this] { return !outcomes.empty(); }, 60s)) << "the restore did not end";
    ASSERT_TRUE(outcomes[0].success) << outcomes[0].text;
    ASSERT_TRUE(pumpUntil([&] { return journalWith(kWritePrefix, journalBefore).size() >= 2; }, 10s));
    pumpUntil([] { return false; }, 300ms);

    auto writes = journalWith(kWritePrefix, journalBefore);
    std::vector<std::string> expected;
    for (const auto& [code, slots] : changes) expected.push_back(journalText(msg::buttonMappingWrite(code, slots)));
    std::sort(writes.begin(), writes.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(writes, expected);
    EXPECT_EQ(looperConfiguration()["MIDIButtons"], wanted["MIDIButtons"]);
    // A save right after the restore shows the restored mappings, not late
    // answers left over from the restore's own reading.
    outcomes.clear();
    ASSERT_EQ(link->saveableConfig().saveConfiguration(folder / "after.cfg"), std::nullopt);
    ASSERT_TRUE(pumpUntil([this] { return !outcomes.empty(); }, 60s));
    ASSERT_TRUE(outcomes[0].success) << outcomes[0].text;
    EXPECT_EQ(Json::parse(readText(folder / "after.cfg"))["MIDIButtons"], wanted["MIDIButtons"]);
}

}  // namespace
}  // namespace qx
