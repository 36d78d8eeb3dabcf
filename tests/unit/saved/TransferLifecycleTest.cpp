// Whole transfers on their own thread against a stand-in looper: how they end,
// what they report, what they refuse, and the progress they show.
#include <nlohmann/json.hpp>
#include <thread>

#include "SavedTestSupport.h"
#include "common/TransferGate.h"

namespace qx {
namespace {

using namespace std::chrono_literals;

const test::Slots kBank1{48, -1, 0, 0, 0, 0, 0, 0}, kBank2{1, 2, 3, 4, 5, 6, 7, 2103};

class Transfer : public test::SavedConfigTest {
protected:
    void SetUp() override
    {
        config.attachTransferGate(&gate);
        config.setProgressHandler([this](double f) { progress.push_back(f); });
        config.setOutcomeHandler([this](const Outcome& o) { outcomes.push_back(o); });
    }
    void TearDown() override { config.stop(); }
    // Plays a looper holding patternFor(code) on each button: answers the
    // requests waiting, unless it is silent.
    void playLooper(bool silent)
    {
        for (const Bytes& r : test::drain(commands)) {
            if (!silent && r.size() == 6 && r[4] == msg::kEffects)
                config.responseQueue.enqueue(test::effectsReport(kBank1, kBank2));
            if (silent || r.size() != 9 || r[4] != msg::kButtonRequest) continue;
            std::vector<test::Slots> block;
            const auto first = sysex::decodePair(r[5], r[6]);
            for (auto code = first; code < first + 8 && code < 384; ++code)
                block.push_back(test::patternFor(static_cast<std::size_t>(code)));
            config.responseQueue.enqueue(test::blockReport(first, block));
        }
    }
    // Plays the looper and runs the UI queue until an outcome arrives (at
    // most about 30 s).
    bool awaitOutcome(bool silent = false)
    {
        for (int i = 0; i < 3000 && outcomes.empty(); ++i) playLooper(silent), ui.waitAndDrain(10ms);
        return !outcomes.empty();
    }

    TransferGate gate;
    std::vector<double> progress;
    std::vector<Outcome> outcomes;
};

TEST_F(Transfer, SaveWritesWhatTheLooperHoldsNotReportsLeftFromBefore)
{
    // A late duplicate answer of an earlier transfer, from before a restore
    // changed those buttons.
    config.responseQueue.enqueue(test::blockReport(376, std::vector<test::Slots>(8, test::Slots{9, 9, 9, 9, 9, 9, 9, 9})));
    ASSERT_EQ(config.saveConfiguration(folder / "looper.cfg"), std::nullopt);
    ASSERT_TRUE(awaitOutcome());
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].text, "Saved 384 button mappings to " + (folder / "looper.cfg").string());
    EXPECT_TRUE(outcomes[0].success);

    const auto file = nlohmann::json::parse(test::readText(folder / "looper.cfg"));
    EXPECT_EQ(file.size(), 3u);
    ASSERT_EQ(file["MIDIButtons"].size(), 384u) << "members \"0\" to \"383\" and nothing else";
    for (std::size_t code = 0; code < kButtonCodes; ++code)
        ASSERT_EQ(file["MIDIButtons"][std::to_string(code)].get<test::Slots>(), test::patternFor(code)) << code;
    EXPECT_EQ(file["QX2Effects1"].get<test::Slots>(), kBank1);
    EXPECT_EQ(file["QX2Effects2"].get<test::Slots>(), kBank2);

    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress[progress.size() - 2], 0.9);
    EXPECT_EQ(progress.back(), 1.0);
    for (double p : progress) EXPECT_TRUE(p >= 0.0 && p <= 1.0) << p;
}

TEST_F(Transfer, FilesThatCannotBeAppliedAndTransfersDuringAnUpgradeAreRefused)
{
    test::writeText(folder / "empty.cfg", "{\"MIDIButtons\":{}}");
    test::writeText(folder / "list.cfg", "[1,2,3]");
    EXPECT_EQ(config.restoreConfiguration(folder / "list.cfg"),
              "Restore refused: " + (folder / "list.cfg").string() +
                  " is not a configuration file: the top level is not an object");
    ASSERT_TRUE(gate.tryEnter("upgrade"));
    EXPECT_EQ(config.saveConfiguration(folder / "looper.cfg"), "Save refused: an upgrade is running");
    EXPECT_EQ(config.restoreConfiguration(folder / "empty.cfg"), "Restore refused: an upgrade is running");
    EXPECT_EQ(commands.count(), 0u) << "nothing was read from the looper";
}

// The first transfer's end is posted but the UI thread stops it before taking
// it; a stopped transfer reports nothing, so that end must not be taken for
// the second one, which times out.
TEST_F(Transfer, CommandsDuringATransferAreRefusedAndASilentLooperEndsIt)
{
    ASSERT_EQ(config.saveConfiguration(folder / "first.cfg"), std::nullopt);
    for (int i = 0; i < 3000 && !std::filesystem::exists(folder / "first.cfg"); ++i)
        playLooper(false), std::this_thread::sleep_for(10ms);
    config.stop();
    ASSERT_EQ(config.saveConfiguration(folder / "second.cfg"), std::nullopt);
    EXPECT_EQ(gate.holder(), "save");
    const std::string busy = " refused: a save or restore is already running";
    EXPECT_EQ(config.restoreConfiguration(folder / "first.cfg"), "Restore" + busy);
    EXPECT_EQ(config.saveConfiguration(folder / "other.cfg"), "Save" + busy);
    for (int i = 0; i < 1000 && commands.count() == 0; ++i) std::this_thread::sleep_for(1ms);
    clockMs += 10000;  // then the looper stays silent for longer than the limit
    ASSERT_TRUE(awaitOutcome(true));
    ui.waitAndDrain(50ms);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].success);
    EXPECT_EQ(outcomes[0].text, "The looper did not answer: nothing saved");
    EXPECT_FALSE(std::filesystem::exists(folder / "second.cfg"));
    EXPECT_EQ(progress.back(), 0.0);
    test::writeText(folder / "wanted.cfg", "{\"MIDIButtons\":{}}");
    EXPECT_EQ(config.restoreConfiguration(folder / "wanted.cfg"), std::nullopt) << "the transfer has ended and left the gate";
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
