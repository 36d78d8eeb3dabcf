#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "common/MainQueue.h"
#include "common/UpgradeFile.h"
#include "midi/QXInterface.h"
#include "support/FakeMidiEndpoints.h"
#include "support/Hex.h"

namespace qx {
using test::hex;

namespace {

// Messages of these lengths, back to back, each F0 22 ... 22 F7.
Bytes sysexOf(const std::vector<std::size_t>& lengths)
{
    Bytes file;
    for (std::size_t length : lengths) {
        Bytes m(length, 0x22);
        m.front() = 0xF0;
        m.back() = 0xF7;
        file.insert(file.end(), m.begin(), m.end());
    }
    return file;
}

}  // namespace

TEST(UpgradeFileCheck, SaysWhereAndWhy)
{
    const std::pair<Bytes, std::optional<std::string>> rows[] = {
        {sysexOf({10, 256}), std::nullopt},
        {hex("00 F0 F7"), "offset 0: expected 0xF0 to start a message, found 0x00"},
        {sysexOf({10, 300}), "offset 10: message of 300 bytes is longer than 256"},
        {hex("F0 01 F8 F7"), "offset 2: found 0xF8 inside the message that starts at offset 0"},
        {hex("F0 01 02"), "offset 0: message not closed by 0xF7 before the end of the file"},
    };
    for (const auto& [file, expected] : rows) EXPECT_EQ(checkSysExUpgrade(file), expected) << test::toHex(file);
}

// Every refusal comes before anything is sent and leaves no upgrade running;
// the largest file taken (1,000,000 bytes) goes out whole, message by message.
TEST(MidiUpgradeStart, BadFilesAreRefusedBeforeAnythingIsSent)
{
    // A folder of this process's own: the suite may run in several builds at once.
    const auto folder = std::filesystem::temp_directory_path() / ("qx-midi-unit-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    auto write = [&](const std::string& name, const Bytes& contents) {
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.data()), static_cast<std::streamsize>(contents.size()));
        return (folder / name).string();
    };
    const Bytes largest = sysexOf(std::vector<std::size_t>(4000, 250));
    const std::string good = write("good.syx", largest), empty = write("empty.syx", {});
    const std::string big = write("big.syx", Bytes(1'000'001, 0xF0)), bad = write("bad.syx", sysexOf({10, 300}));
    const std::string missing = (folder / "missing.syx").string();

    ManualMainQueue ui;
    auto* endpoints = new test::FakeMidiEndpoints;
    QXInterface link(ui, std::unique_ptr<MidiEndpoints>(endpoints));
    TransferGate gate;
    link.attachTransferGate(&gate);
    EXPECT_EQ(link.loadUpgradeFile(good), "Upgrade refused: no looper is answering on MIDI");
    link.midiPolling.store(true);
    const std::pair<std::string, std::string> refused[] = {
        {empty, empty + " is empty"},
        {big, big + " is longer than 1,000,000 bytes; refused rather than cut"},
        {bad, bad + " is not a SysEx upgrade file (offset 10: message of 300 bytes is longer than 256)"},
        {missing, "cannot open " + missing + ": No such file or directory"},
    };
    for (const auto& [path, reason] : refused) {
        EXPECT_EQ(link.loadUpgradeFile(path), "Upgrade refused: " + reason);
        EXPECT_FALSE(link.upgrade().inProgress());
        EXPECT_EQ(gate.holder(), "");
    }

    EXPECT_EQ(link.loadUpgradeFile(good), std::nullopt);
    EXPECT_TRUE(link.upgrade().inProgress());
    EXPECT_EQ(link.loadUpgradeFile(good), "Upgrade refused: an upgrade is already running");
    std::filesystem::remove_all(folder);

    std::vector<Outcome> outcomes;
    link.setUpgradeOutcomeHandler([&](const Outcome& o) { outcomes.push_back(o); });
    for (int step = 0; step <= 4000; ++step) link.sendUpgradeMessage();
    ui.drain();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].success);
    EXPECT_EQ(outcomes[0].text, "Upgrade finished: 1000000 bytes sent over MIDI");
    EXPECT_EQ(gate.holder(), "");
    const auto messages = endpoints->messages();
    ASSERT_EQ(messages.size(), 4000u);
    for (std::size_t i = 0; i < messages.size(); ++i)
        ASSERT_EQ(messages[i], Bytes(largest.begin() + 250 * i, largest.begin() + 250 * (i + 1))) << i;
}

}  // namespace qx
