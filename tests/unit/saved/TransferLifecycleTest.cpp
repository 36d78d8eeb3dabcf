// Whole transfers on their own thread against a stand-in looper: how they end,
// what they report, what they refuse, and the progress they show.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "SavedTestSupport.h"
#include "common/MainQueue.h"
#include "common/TransferGate.h"
#include "config/SaveableConfig.h"

namespace qx {
namespace {

using namespace std::chrono_literals;

// Time as the transfer sees it: moved only by the test.
struct FakeClock {
    std::atomic<std::int64_t> ms{0};
    SaveableConfigTiming timing()
    {
        SaveableConfigTiming t;
        t.wait = 1ms;
        t.now = [this] { return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms.load())); };
        return t;
    }
    void advance(std::chrono::milliseconds by) { ms += by.count(); }
};

class Transfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        config.attachTransferGate(&gate);
        config.setProgressHandler([this](double f) { progress.push_back(f); });
        config.setOutcomeHandler([this](const Outcome& o) { outcomes.push_back(o); });
        for (std::size_t code = 0; code < kButtonCodes; ++code) looper.buttons[code] = test::patternFor(code);
        looper.bank1 = {48, -1, 0, 0, 0, 0, 0, 0};
        looper.bank2 = {1, 2, 3, 4, 5, 6, 7, 2103};
    }
    void TearDown() override
    {
        config.stop();
        looper.stop();
    }

    // Runs the UI queue until an outcome arrives (at most about 30 s).
    bool awaitOutcome()
    {
        for (int i = 0; i < 1500 && outcomes.empty(); ++i) ui.waitAndDrain(20ms);
        return !outcomes.empty();
    }

    FakeClock clock;
    QXCommandQueue commands;
    ManualMainQueue ui;
    TransferGate gate;
    QXSaveableConfig config{commands, ui, clock.timing()};
    test::StandInLooper looper{commands, config.responseQueue};
    test::ScratchFolder folder;
    std::vector<double> progress;
    std::vector<Outcome> outcomes;
};

TEST_F(Transfer, SaveWritesWhatTheLooperHoldsAndSaysSo)
{
    looper.start();
    ASSERT_EQ(config.saveConfiguration(folder / "looper.cfg"), std::nullopt);
    EXPECT_TRUE(config.transferRunning());
    EXPECT_EQ(gate.holder(), "save");
    ASSERT_TRUE(awaitOutcome());

    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].success) << outcomes[0].text;
    EXPECT_EQ(outcomes[0].text, "Saved 384 button mappings to " + (folder / "looper.cfg").string());
    EXPECT_FALSE(config.transferRunning());
    EXPECT_EQ(gate.holder(), "");

    const auto file = nlohmann::json::parse(test::readText(folder / "looper.cfg"));
    for (std::size_t code = 0; code < kButtonCodes; ++code)
        ASSERT_EQ(file["MIDIButtons"][std::to_string(code)].get<test::Slots>(), looper.buttons[code]) << code;
    EXPECT_EQ(file["QX2Effects1"].get<test::Slots>(), looper.bank1);
    EXPECT_EQ(file["QX2Effects2"].get<test::Slots>(), looper.bank2);

    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress.back(), 1.0);
    EXPECT_EQ(progress[progress.size() - 2], 0.9);
    for (double p : progress) EXPECT_TRUE(p >= 0.0 && p <= 1.0) << p;
}

TEST_F(Transfer, ReportsLeftFromAnEarlierTransferDoNotReachTheFile)
{
    // A late duplicate answer of an earlier transfer, from before a restore
    // changed those buttons.
    config.responseQueue.enqueue(test::blockReport(376, std::vector<test::Slots>(8, test::Slots{9, 9, 9, 9, 9, 9, 9, 9})));
    looper.start();
    ASSERT_EQ(config.saveConfiguration(folder / "looper.cfg"), std::nullopt);
    ASSERT_TRUE(awaitOutcome());
    ASSERT_TRUE(outcomes[0].success) << outcomes[0].text;
    const auto file = nlohmann::json::parse(test::readText(folder / "looper.cfg"));
    for (std::size_t code = 376; code < kButtonCodes; ++code)
        EXPECT_EQ(file["MIDIButtons"][std::to_string(code)].get<test::Slots>(), looper.buttons[code]) << code;
}

TEST_F(Transfer, RestoreSendsOnlyTheChangedMappingsAndCountsThem)
{
    auto wanted = looper.buttons;
    wanted[3] = {1, 2, 3, 4, 5, 6, 7, 8};
    wanted[300] = {-1, -1, -1, -1, -1, -1, -1, -1};
    nlohmann::json members = nlohmann::json::object();
    for (std::size_t code = 0; code < kButtonCodes; ++code) members[std::to_string(code)] = wanted[code];
    test::writeText(folder / "wanted.cfg", nlohmann::json{{"MIDIButtons", members}}.dump());

    looper.start();
    ASSERT_EQ(config.restoreConfiguration(folder / "wanted.cfg"), std::nullopt);
    EXPECT_EQ(gate.holder(), "restore");
    ASSERT_TRUE(awaitOutcome());
    EXPECT_TRUE(outcomes[0].success) << outcomes[0].text;
    EXPECT_NE(outcomes[0].text.find("2 button mappings sent"), std::string::npos) << outcomes[0].text;

    // The writes leave after the transfer, as the link drains the queue.
    for (int i = 0; i < 1000 && looper.writesTaken().size() < 2; ++i) std::this_thread::sleep_for(5ms);
    looper.stop();
    const auto writes = looper.writesTaken();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0][6], 3);
    EXPECT_EQ((writes[1][5] << 7) | writes[1][6], 300);
    EXPECT_EQ(looper.buttons, wanted);
}

TEST_F(Transfer, CommandsDuringATransferAreRefusedWithAReason)
{
    looper.silent = true;
    looper.start();
    ASSERT_EQ(config.saveConfiguration(folder / "looper.cfg"), std::nullopt);
    EXPECT_EQ(config.restoreConfiguration(folder / "looper.cfg"),
              "Restore refused: a save or restore is already running");
    EXPECT_EQ(config.saveConfiguration(folder / "other.cfg"), "Save refused: a save or restore is already running");

    config.stop();
    EXPECT_FALSE(config.transferRunning());
    EXPECT_EQ(gate.holder(), "");
    EXPECT_TRUE(folder.names().empty());
    ui.drain();
    EXPECT_TRUE(outcomes.empty()) << "a stopped transfer reports nothing";
    // A later command starts again.
    EXPECT_EQ(config.saveConfiguration(folder / "looper.cfg"), std::nullopt);
}

TEST_F(Transfer, EndOfAStoppedTransferIsNotTakenForTheNextOne)
{
    looper.start();
    ASSERT_EQ(config.saveConfiguration(folder / "first.cfg"), std::nullopt);
    // The first transfer writes its file and posts its end; the UI thread
    // stops it before taking that end.
    for (int i = 0; i < 2000 && !std::filesystem::exists(folder / "first.cfg"); ++i) std::this_thread::sleep_for(1ms);
    config.stop();
    looper.silent = true;
    const std::size_t asked = looper.requestsTaken();
    ASSERT_EQ(config.saveConfiguration(folder / "second.cfg"), std::nullopt);
    for (int i = 0; i < 1000 && looper.requestsTaken() == asked; ++i) std::this_thread::sleep_for(1ms);
    clock.advance(10s);  // the second one times out
    ASSERT_TRUE(awaitOutcome());
    ui.waitAndDrain(50ms);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].text, "The looper did not answer: nothing saved");
    EXPECT_FALSE(config.transferRunning());
    EXPECT_EQ(gate.holder(), "");
}

TEST_F(Transfer, RefusedWhileAnUpgradeHoldsTheGate)
{
    test::writeText(folder / "looper.cfg", "{\"MIDIButtons\":{}}");
    ASSERT_TRUE(gate.tryEnter("upgrade"));
    EXPECT_EQ(config.saveConfiguration(folder / "looper.cfg"), "Save refused: an upgrade is running");
    EXPECT_EQ(config.restoreConfiguration(folder / "looper.cfg"), "Restore refused: an upgrade is running");
    EXPECT_FALSE(config.transferRunning());
    EXPECT_EQ(gate.holder(), "upgrade");
}

TEST_F(Transfer, SilentLooperEndsTheTransferWithoutWritingAnything)
{
    looper.silent = true;
    looper.start();
    ASSERT_EQ(config.saveConfiguration(folder / "looper.cfg"), std::nullopt);
    // Let the transfer ask at least once before time moves on.
    for (int i = 0; i < 1000 && looper.requestsTaken() == 0; ++i) std::this_thread::sleep_for(1ms);
    clock.advance(10s);
    ASSERT_TRUE(awaitOutcome());
    EXPECT_FALSE(outcomes[0].success);
    EXPECT_EQ(outcomes[0].text, "The looper did not answer: nothing saved");
    EXPECT_FALSE(config.transferRunning());
    EXPECT_EQ(gate.holder(), "");
    EXPECT_TRUE(folder.names().empty());
    EXPECT_EQ(progress.back(), 0.0);
    test::writeText(folder / "wanted.cfg", "{\"MIDIButtons\":{}}");
    EXPECT_EQ(config.restoreConfiguration(folder / "wanted.cfg"), std::nullopt) << "later commands work";
}

TEST_F(Transfer, RestoreOfAFileThatCannotBeAppliedIsRefusedBeforeReadingTheLooper)
{
    test::writeText(folder / "list.cfg", "[1,2,3]");
    const auto refusal = config.restoreConfiguration(folder / "list.cfg");
    ASSERT_TRUE(refusal);
    EXPECT_EQ(*refusal, "Restore refused: " + (folder / "list.cfg").string() +
                            " is not a configuration file: the top level is not an object");
    EXPECT_NE(config.restoreConfiguration(folder / "absent.cfg"), std::nullopt);
    EXPECT_FALSE(config.transferRunning());
    EXPECT_EQ(gate.holder(), "");
    EXPECT_EQ(commands.count(), 0u);
}

TEST_F(Transfer, OnlyNewRepliesKeepASilentTransferAlive)
{
    config.resetConfig();
    config.runPass();
    clock.advance(9900ms);
    EXPECT_FALSE(config.looperSilent());

    config.responseQueue.enqueue(test::blockReport(0, std::vector<test::Slots>(8, test::Slots{})));
    config.runPass();
    clock.advance(9900ms);
    EXPECT_FALSE(config.looperSilent()) << "a new block counts as an answer";

    config.responseQueue.enqueue(test::blockReport(0, std::vector<test::Slots>(8, test::Slots{})));
    config.runPass();
    clock.advance(200ms);
    EXPECT_TRUE(config.looperSilent()) << "the same block again is no news";

    config.responseQueue.enqueue(test::effectsReport({}, {}));
    config.runPass();
    EXPECT_FALSE(config.looperSilent());
}

TEST_F(Transfer, WaitShowsHowMuchOfThePassHasGoneOutWithinZeroToOne)
{
    EXPECT_EQ(config.waitStep(), std::nullopt) << "nothing waiting: next pass at once";
    for (std::size_t waiting : {49u, 1u, 60u}) {
        for (std::size_t i = 0; i < waiting; ++i) commands.enqueue({0xF0, 0x00, 0x02, 0x33, 0x02, 0xF7});
        EXPECT_EQ(config.waitStep(), std::optional<Seconds>(1ms));
        while (!commands.dequeue().empty()) {
        }
    }
    ui.drain();
    ASSERT_EQ(progress.size(), 3u);
    EXPECT_EQ(progress[0], 0.0);
    EXPECT_DOUBLE_EQ(progress[1], 48.0 / 49.0 * 0.9);
    EXPECT_EQ(progress[2], 0.0) << "more than a pass waiting must not show below zero";
}

TEST(TransferShutdown, TasksLeftOnTheUiQueueDoNothingOnceTheConfigIsGone)
{
    QXCommandQueue commands;
    ManualMainQueue ui;
    int shown = 0;
    {
        QXSaveableConfig config(commands, ui);
        config.setMappingHandler([&shown](std::int64_t, const FunctionValues&) { ++shown; });
        config.sendButtonMapping(5, {1, 2, 3, 4, 5, 6, 7, 8});
    }
    EXPECT_EQ(ui.drain(), 1u);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(commands.count(), 1u);
}

}  // namespace
}  // namespace qx
