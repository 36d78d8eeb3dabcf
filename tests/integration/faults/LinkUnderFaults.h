#pragma once
// The panel's whole link (controller, network side, saved-configuration
// transfer) against the simulated looper as a child process that a test can
// make vanish and bring back. The two links' fixtures derive from it and say
// how the looper starts, how it returns, and how the journal names what it
// received; the scenarios both links share are here.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "FaultSupport.h"
#include "LooperProcess.h"
#include "common/MainQueue.h"
#include "link/LooperLink.h"
#include "model/DisplayModels.h"
#include "model/Tracks.h"
#include "support/ConsoleCapture.h"

namespace qx::test {

using namespace std::chrono_literals;

class LinkUnderFaults : public ::testing::Test {
protected:
    // "rx midi" or "rx udp": how the looper's journal names the link.
    explicit LinkUnderFaults(std::string journalPrefix, std::string givenUpLine)
        : rx_(std::move(journalPrefix)), givenUpLine_(std::move(givenUpLine))
    {
    }

    void makeFolder()
    {
        char pattern[] = "/tmp/qx-faults-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override
    {
        if (link) link->stop();
        link.reset();
        looper.reset();
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    }

    void startLooper(std::vector<std::string> argv)
    {
        looper = std::make_unique<LooperProcess>(std::move(argv));
        ASSERT_TRUE(looper->running());
        ASSERT_TRUE(looper->ready()) << "the simulated looper did not come up";
    }
    // Brings the looper back after vanish(); the link must take it up again.
    virtual void looperReturns() = 0;
    // True once the link polls an answering looper again.
    virtual bool answering() = 0;

    void startLink(std::unique_ptr<MidiEndpoints> endpoints, LooperLink::NetworkFactory network)
    {
        link = std::make_unique<LooperLink>(ui, std::move(endpoints), std::move(network));
        link->interface().completionModel = completion;
        link->interface().tracksModel = tracks;
        link->interface().qxInfoString = deviceLine;
        tracks->subscribe([this] { ++gridUpdates; });
        link->saveableConfig().setOutcomeHandler([this](const Outcome& o) { outcomes.push_back(o); });
        link->interface().setUpgradeOutcomeHandler([this](const Outcome& o) { upgradeOutcomes.push_back(o); });
        link->start();
    }

    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) { return pumpUntil(ui, done, limit); }
    void pause(std::chrono::milliseconds time) { pumpUntil(ui, [] { return false; }, time); }

    std::size_t consoleCount(const std::string& line) const
    {
        const auto lines = console.lines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }
    bool givenUp(std::chrono::milliseconds limit) { return waitFor([this] { return consoleCount(givenUpLine_) >= 1; }, limit); }
    std::size_t received(const std::string& what) const { return looper->received(rx_ + " " + what); }

    Json looperConfiguration()
    {
        for (const std::string& line : looper->command("dump-config"))
            if (!line.empty() && line[0] == '{') return Json::parse(line, nullptr, false);
        return {};
    }

    // A save that must succeed and leave a whole configuration file.
    void saveCleanly(const std::filesystem::path& path)
    {
        outcomes.clear();
        ASSERT_EQ(link->saveableConfig().saveConfiguration(path), std::nullopt);
        ASSERT_TRUE(waitFor([this] { return !outcomes.empty(); }, 60s)) << "the save did not end";
        ASSERT_TRUE(outcomes[0].success) << outcomes[0].text;
        ASSERT_EQ(configurationFault(readText(path)), "");
    }

    // Restores the file until the looper holds its mappings, at most twice: a
    // mapping write is not acknowledged, and one lost on its way is put right
    // by restoring again, which sends only what still differs. Returns how
    // many restores it took (3 when two were not enough).
    int restoreUntilLanded(const std::filesystem::path& path, const Json& wanted)
    {
        for (int attempt = 1; attempt <= 2; ++attempt) {
            outcomes.clear();
            if (link->saveableConfig().restoreConfiguration(path)) return 3;
            if (!waitFor([this] { return !outcomes.empty(); }, 60s) || !outcomes[0].success) return 3;
            waitFor([this] { return link->interface().cmdQueue.count() == 0; }, 10s);
            pause(500ms);  // the last write's way to the looper
            if (looperConfiguration()["MIDIButtons"] == wanted["MIDIButtons"]) return attempt;
        }
        return 3;
    }

    // The looper vanishes while a save reads it: the save ends with its
    // reason and leaves no file at all; once the looper is back, a save is
    // whole and holds what the looper holds.
    void vanishMidSave()
    {
        const auto path = folder / "looper.cfg";
        ASSERT_EQ(link->saveableConfig().saveConfiguration(path), std::nullopt);
        ASSERT_TRUE(waitFor([this] { return received(kBlockRequest) >= 8; }, 20s));
        looper->vanish();

        ASSERT_TRUE(waitFor([this] { return !outcomes.empty(); }, 60s)) << "the save never ended";
        EXPECT_FALSE(outcomes[0].success);
        EXPECT_EQ(outcomes[0].text, "The looper did not answer: nothing saved");
        EXPECT_EQ(folderEntries(folder), std::vector<std::string>{}) << "no file, not even a temporary one";
        // While the transfer's requests wait in the queue no status request
        // goes out, so the silence shows once the transfer has ended.
        EXPECT_TRUE(givenUp(10s)) << "the silent looper was given up";

        looperReturns();
        ASSERT_TRUE(answering()) << "the link did not take the looper up again";
        saveCleanly(path);
        const Json saved = Json::parse(readText(path));
        const Json holds = looperConfiguration();
        EXPECT_EQ(saved["MIDIButtons"], holds["MIDIButtons"]);
        // The banks are not waited for: a lost effects report leaves them empty.
        for (const char* bank : {"QX2Effects1", "QX2Effects2"})
            EXPECT_TRUE(saved[bank] == holds[bank] || saved[bank].empty()) << bank;
    }

    // The looper vanishes while a restore reads it: nothing is written to it
    // or to the file, nothing is left queued; once it is back the restore
    // lands with exactly the two changed buttons.
    void vanishMidRestore()
    {
        Json wanted = looperConfiguration();
        ASSERT_TRUE(wanted.is_object());
        wanted["MIDIButtons"]["5"] = {7, -1, 16, 1, 1, 1, 1, 1};
        wanted["MIDIButtons"]["383"] = {2103, 0, 0, 0, 0, 0, 0, 48};
        const auto path = folder / "wanted.cfg";
        const std::string text = wanted.dump();
        std::ofstream(path) << text;

        ASSERT_EQ(link->saveableConfig().restoreConfiguration(path), std::nullopt);
        ASSERT_TRUE(waitFor([this] { return received(kBlockRequest) >= 8; }, 20s));
        looper->vanish();
        ASSERT_TRUE(waitFor([this] { return !outcomes.empty(); }, 60s)) << "the restore never ended";
        EXPECT_FALSE(outcomes[0].success);
        EXPECT_EQ(outcomes[0].text, "The looper did not answer: nothing restored");
        EXPECT_EQ(readText(path), text) << "a restore never touches its file";

        looperReturns();
        ASSERT_TRUE(answering()) << "the link did not take the looper up again";
        pause(1s);
        EXPECT_EQ(received(kMappingWrite), 0u) << "nothing of the failed restore was left queued";

        const int attempts = restoreUntilLanded(path, wanted);
        EXPECT_LE(attempts, 2) << "the looper does not hold the restored file";
        RecordProperty("restore_attempts", attempts);
        if (attempts == 1) {
            EXPECT_EQ(outcomes[0].text, "Restored from " + path.string() + ": 2 button mappings sent");
            EXPECT_EQ(received(kMappingWrite), 2u);
        }
    }

    // A looper misbehaving in one way (a simulator command): polling holds, a
    // save under the fault writes a whole file, and restoring a clean file
    // under the fault leaves the looper holding exactly that file.
    void misbehaving(const std::string& fault, const std::string& statusRequest)
    {
        const auto clean = folder / "clean.cfg";
        saveCleanly(clean);
        const Json original = Json::parse(readText(clean));

        ASSERT_EQ(looper->command(fault).back(), "ok");
        const std::size_t givenUpBefore = consoleCount(givenUpLine_);
        const std::size_t before = received(statusRequest);
        ASSERT_TRUE(waitFor([&] { return received(statusRequest) >= before + 40; }, 20s));
        EXPECT_EQ(consoleCount(givenUpLine_), givenUpBefore) << "the link held through the faults";

        const auto faulty = folder / "under-faults.cfg";
        saveCleanly(faulty);
        // Nothing in the protocol catches a garbled value, so the file may
        // differ from the looper; it is still a whole configuration file.
        RecordProperty("buttons_differing", differingButtons(Json::parse(readText(faulty)), original));

        const int attempts = restoreUntilLanded(clean, original);
        EXPECT_LE(attempts, 2) << "the looper does not hold the restored file";
        RecordProperty("restore_attempts", attempts);
    }

    static constexpr const char* kBlockRequest = "F0 00 02 33 0E";
    static constexpr const char* kMappingWrite = "F0 00 02 33 10";

    std::filesystem::path folder;
    ConsoleCapture console;
    ManualMainQueue ui;
    std::shared_ptr<CompletionPercent> completion = std::make_shared<CompletionPercent>();
    std::shared_ptr<Tracks> tracks = std::make_shared<Tracks>();
    std::shared_ptr<ObservableText> deviceLine = std::make_shared<ObservableText>();
    long gridUpdates = 0;  // UI thread
    std::unique_ptr<LooperProcess> looper;
    std::unique_ptr<LooperLink> link;
    std::vector<Outcome> outcomes;
    std::vector<Outcome> upgradeOutcomes;

private:
    const std::string rx_;
    const std::string givenUpLine_;
};

// Names a parameterised case after its simulator command ("garble 0.1" -> garble_0_1).
inline std::string faultName(const ::testing::TestParamInfo<const char*>& info)
{
    std::string name = info.param;
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

}  // namespace qx::test
