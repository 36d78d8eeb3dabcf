// Starting a firmware upgrade: every refusal comes before anything is sent and
// leaves no upgrade running; the largest file taken (1,000,000 bytes) goes out
// over MIDI whole, message by message, and its end frees the way for the next.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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
    const std::string missing = (folder / "missing.syx").string();

    test::SessionUnderTest panel;
    LooperSession& session = panel.session;
    EXPECT_EQ(session.upgrade(good).text, "Upgrade refused: no looper is answering on MIDI");
    panel.looperAnswersOnMidi();
    const std::pair<std::string, std::string> refused[] = {
        {empty, empty + " is empty"},
        {big, big + " is longer than 1,000,000 bytes; refused rather than cut"},
        {bad, bad + " is not a SysEx upgrade file (offset 10: message of 300 bytes is longer than 256)"},
        {missing, "cannot open " + missing + ": No such file or directory"},
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
    panel.ui.drain();
    const CommandOutcome& outcome = *panel.models().outcome;
    ASSERT_EQ(outcome.ended(), 1u);
    EXPECT_TRUE(outcome.last().success);
    EXPECT_EQ(outcome.last().text, "Upgrade finished: 1000000 bytes sent over MIDI");
    EXPECT_EQ(panel.models().progress->completion(), 1.0);
    const auto messages = panel.midi->messages();
    ASSERT_EQ(messages.size(), 4000u);
    for (std::size_t i = 0; i < messages.size(); ++i)
        ASSERT_EQ(messages[i], Bytes(largest.begin() + 250 * i, largest.begin() + 250 * (i + 1))) << i;
    EXPECT_TRUE(session.save((folder / "looper.cfg").string()).success) << "the upgrade left the gate";
    session.stop();
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace qx
