// Save and restore against the simulated looper on real JACK MIDI ports: the
// saved file is the looper's configuration, and a restore leaves the looper
// holding exactly the file's mappings after writing only the changed ones.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "common/MainQueue.h"
#include "config/SaveableConfig.h"
#include "link/IdleNetworkSide.h"
#include "link/LooperLink.h"
#include "midi/Messages.h"
#include "midi/RtMidiEndpoints.h"
#include "support/ChildProcess.h"
#include "support/ConsoleCapture.h"
#include "support/JackServer.h"

namespace qx {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

std::string hexLine(const Bytes& bytes)
{
    std::string text = "rx midi";
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

class SavedOverJack : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/qx-saved-jack-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        ASSERT_TRUE(jack.ready()) << "jackd did not start";
        ASSERT_TRUE(sim.running());
        ASSERT_TRUE(sim.waitFor("ready", 10s)) << "the simulated looper did not open its ports";
        link = std::make_unique<LooperLink>(ui, openSystemMidiEndpoints(),
                                            [](LinkHost& host) { return std::make_unique<IdleNetworkSide>(host); });
        link->interface().completionModel = completion;
        link->saveableConfig().setOutcomeHandler([this](const Outcome& o) { outcomes.push_back(o); });
        link->start();
        ASSERT_TRUE(pumpUntil([this] { return link->interface().pollTries.load() == 0; }, 5s)) << "no looper found";
    }
    void TearDown() override
    {
        if (link) link->stop();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // Runs the UI queue and collects the looper's journal until done() holds.
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
    {
        const auto until = std::chrono::steady_clock::now() + timeout;
        std::string line;
        while (std::chrono::steady_clock::now() < until) {
            ui.drain();
            if (done()) return true;
            while (sim.readLine(line, 5ms))
                if (line.rfind("rx ", 0) == 0) received.push_back(line);
        }
        return false;
    }

    bool awaitOutcome()
    {
        return pumpUntil([this] { return !outcomes.empty(); }, 60s);
    }

    // The looper's configuration in the file's shape.
    Json looperConfiguration()
    {
        sim.send("dump-config");
        std::string line;
        for (int i = 0; i < 100000 && sim.readLine(line, 2s); ++i) {
            if (line.rfind("rx ", 0) == 0) received.push_back(line);
            else if (!line.empty() && line[0] == '{') return Json::parse(line);
        }
        return {};
    }

    std::size_t countReceived(const std::string& prefix) const
    {
        std::size_t n = 0;
        for (const auto& line : received) n += line.rfind(prefix, 0) == 0;
        return n;
    }

    std::filesystem::path folder;
    test::JackServer jack;
    test::ChildProcess sim{{QX_SIM_PATH, "--jack", "--journal"}};
    test::ConsoleCapture console;
    ManualMainQueue ui;
    std::shared_ptr<CompletionPercent> completion = std::make_shared<CompletionPercent>();
    std::unique_ptr<LooperLink> link;
    std::vector<Outcome> outcomes;
    std::vector<std::string> received;
};

TEST_F(SavedOverJack, SavedFileIsTheLooperConfiguration)
{
    const auto path = folder / "looper.cfg";
    ASSERT_EQ(link->saveableConfig().saveConfiguration(path), std::nullopt);
    ASSERT_TRUE(awaitOutcome()) << "the save did not end";
    ASSERT_TRUE(outcomes[0].success) << outcomes[0].text;
    EXPECT_EQ(completion->completion(), 1.0);

    const Json saved = Json::parse(readText(path));
    const Json looper = looperConfiguration();
    ASSERT_TRUE(looper.is_object()) << "no configuration from the looper";
    EXPECT_EQ(saved, looper);
    EXPECT_EQ(saved["MIDIButtons"].size(), 384u);
    EXPECT_EQ(saved["QX2Effects1"].size(), 8u) << "the effects request was answered during the transfer";
    // Every block was asked for at least once; nothing was written.
    EXPECT_GE(countReceived("rx midi F0 00 02 33 0E"), 48u);
    EXPECT_EQ(countReceived("rx midi F0 00 02 33 10"), 0u);
}

TEST_F(SavedOverJack, RestoreWritesOnlyTheChangedButtonsAndTheLooperEndsUpHoldingTheFile)
{
    const auto original = folder / "original.cfg";
    ASSERT_EQ(link->saveableConfig().saveConfiguration(original), std::nullopt);
    ASSERT_TRUE(awaitOutcome());
    ASSERT_TRUE(outcomes[0].success) << outcomes[0].text;

    Json wanted = Json::parse(readText(original));
    const std::map<std::int64_t, msg::Bank> changes = {
        {5, {7, -1, 16, 1, 1, 1, 1, 1}}, {200, {-1, -1, -1, -1, -1, -1, -1, -1}}, {383, {2103, 0, 0, 0, 0, 0, 0, 48}}};
    for (const auto& [code, slots] : changes) {
        ASSERT_NE(wanted["MIDIButtons"][std::to_string(code)].get<msg::Bank>(), slots) << "pick another value";
        wanted["MIDIButtons"][std::to_string(code)] = slots;
    }
    const auto changed = folder / "changed.cfg";
    std::ofstream(changed) << wanted.dump();

    received.clear();
    outcomes.clear();
    ASSERT_EQ(link->saveableConfig().restoreConfiguration(changed), std::nullopt);
    ASSERT_TRUE(awaitOutcome()) << "the restore did not end";
    ASSERT_TRUE(outcomes[0].success) << outcomes[0].text;
    EXPECT_NE(outcomes[0].text.find("3 button mappings sent"), std::string::npos) << outcomes[0].text;

    // The writes leave one per polling cycle after the transfer.
    ASSERT_TRUE(pumpUntil([this] { return countReceived("rx midi F0 00 02 33 10") >= 3; }, 10s));
    pumpUntil([] { return false; }, 500ms);
    std::vector<std::string> writes;
    for (const auto& line : received)
        if (line.rfind("rx midi F0 00 02 33 10", 0) == 0) writes.push_back(line);
    std::vector<std::string> expected;
    for (const auto& [code, slots] : changes) expected.push_back(hexLine(msg::buttonMappingWrite(code, slots)));
    // The file's member order decides the order of the writes; none is promised.
    std::sort(writes.begin(), writes.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(writes, expected);

    const Json looper = looperConfiguration();
    ASSERT_TRUE(looper.is_object());
    EXPECT_EQ(looper["MIDIButtons"], wanted["MIDIButtons"]);
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
