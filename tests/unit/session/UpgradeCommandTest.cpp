// Starting a firmware upgrade: every refusal comes before anything is sent and
// leaves no upgrade running; the largest file taken (1,000,000 bytes) goes out
// over MIDI whole, message by message, and its end frees the way for the next.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "midi/MidiUpgrade.h"
#include "support/Hex.h"
#include "support/SessionUnderTest.h"

namespace qx {
namespace {

TEST(UpgradeCommand, BadFilesAreRefusedBeforeAnythingIsSentAndAWholeFileGoesOutInOrder)
{
    // A folder of this process's own: the suite may run in several builds at once.
    const auto folder = std::filesystem::temp_directory_path() / ("qx-upgrade-unit-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    auto write = [&](const std::string& name, const Bytes& contents) {
        std::ofstream(folder / name, std::ios::binary) << std::string(contents.begin(), contents.end());
        return (folder / name).string();
    };
    const Bytes largest = test::sysExRun(std::vector<std::size_t>(4000, 250));
    const std::string good = write("good.syx", largest), empty = write("empty.syx", {});
    const std::string big = write("big.syx", Bytes(1'000'001, 0xF0)), bad = write("bad.syx", test::sysExRun({10, 300}));
    const std::string missing = (folder / "missing.syx").string(), pipe = (folder / "pipe.syx").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);  // with no writer: opening it must not wait for one

    test::SessionUnderTest panel;
    LooperSession& session = panel.session;
    EXPECT_EQ(session.upgrade(good).text, "Upgrade refused: no looper is answering on MIDI");
    panel.looperAnswersOnMidi();
    session.arbiter().setUnanswered(Transport::midi, 2);
    EXPECT_EQ(session.upgrade(good).text, "Upgrade refused: no looper is answering on MIDI") << "two unanswered";
    session.arbiter().setUnanswered(Transport::midi, 1);
    const std::pair<std::string, std::string> refused[] = {
        {empty, empty + " is empty"},
        {big, big + " is longer than 1,000,000 bytes; refused rather than cut"},
        {bad, bad + " is not a SysEx upgrade file (offset 10: message of 300 bytes is longer than 256)"},
        {missing, "cannot open " + missing + ": No such file or directory"},
        {pipe, pipe + " is not a firmware file: it is not a regular file"},
        {folder.string(), folder.string() + " is not a firmware file: it is a folder"},
    };
    for (const auto& [path, reason] : refused) {
        EXPECT_EQ(session.upgrade(path).text, "Upgrade refused: " + reason);
        EXPECT_FALSE(panel.midiLink().upgradeInProgress());
    }
    EXPECT_EQ(session.upgrade(good).text, "Upgrade started: " + good);
    EXPECT_TRUE(panel.midiLink().upgradeInProgress());
    EXPECT_EQ(session.upgrade(good).text, "Upgrade refused: an upgrade is already running");
    EXPECT_EQ(session.save((folder / "looper.cfg").string()).text, "Save refused: an upgrade is running");

    for (int step = 0; step <= 4000; ++step) panel.midiLink().sendUpgradeMessage();
    panel.midiLink().checkUpgradeAnswer();
    panel.ui.drain();
    const CommandOutcome& outcome = *panel.models().outcome;
    EXPECT_EQ(outcome.ended(), 0u) << "sent, but not known to have landed";
    panel.receive(test::padded("F0 00 02 33 02 04 01", 64));  // the looper answers again
    panel.midiLink().checkUpgradeAnswer();
    panel.ui.drain();
    ASSERT_EQ(outcome.ended(), 1u);
    EXPECT_TRUE(outcome.last().success);
    EXPECT_TRUE(outcome.last().text.starts_with("Upgrade sent over MIDI (1000000 bytes); the looper answered again after "))
        << outcome.last().text;
    EXPECT_EQ(panel.queued().back(), test::hex("F0 00 02 33 16 F7")) << "the new version is asked for";
    EXPECT_EQ(panel.models().progress->completion(), 1.0);
    const auto messages = panel.midi->messages();
    ASSERT_EQ(messages.size(), 4000u);
    for (std::size_t i = 0; i < messages.size(); ++i)
        ASSERT_EQ(messages[i], Bytes(largest.begin() + 250 * i, largest.begin() + 250 * (i + 1))) << i;
    EXPECT_TRUE(session.save((folder / "looper.cfg").string()).success) << "the upgrade left the gate";
    session.stop();
    std::filesystem::remove_all(folder);
}

// Over MIDI nothing acknowledges a message: a send that fails ends the
// upgrade at once; after the last one the looper has 30 s to answer again.
TEST(UpgradeCommand, AFailedSendEndsItAndAWholeFileWaitsForTheLooper)
{
    test::SessionUnderTest panel{std::vector<std::string>{}};  // no destination: every send fails
    ASSERT_EQ(panel.midiLink().startUpgrade(test::sysExRun({10, 10, 10})), std::nullopt);
    panel.midiLink().sendUpgradeMessage();
    panel.ui.drain();
    EXPECT_EQ(panel.models().outcome->last().text, "Upgrade stopped: the looper's MIDI port went away at message 1 of 3");
    EXPECT_FALSE(panel.midiLink().upgradeInProgress());

    MidiUpgrade upgrade;
    const auto start = MidiUpgrade::Clock::now();
    upgrade.awaitAnswer(30, 7, start);
    EXPECT_EQ(upgrade.answerOutcome(7, start + std::chrono::seconds(29)), std::nullopt);
    EXPECT_EQ(upgrade.answerOutcome(7, start + std::chrono::seconds(30)),
              (Outcome{false, "Upgrade sent over MIDI (30 bytes), but the looper has not answered since: check it "
                              "before you unplug it"}));
    EXPECT_EQ(upgrade.answerOutcome(8, start + std::chrono::seconds(31)), std::nullopt) << "told once";
    upgrade.awaitAnswer(30, 7, start);
    EXPECT_EQ(upgrade.answerOutcome(8, start + std::chrono::milliseconds(2500)),
              (Outcome{true, "Upgrade sent over MIDI (30 bytes); the looper answered again after 2.5 s"}));
}

}  // namespace
}  // namespace qx
