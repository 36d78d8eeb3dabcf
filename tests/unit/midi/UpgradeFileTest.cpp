#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "common/MainQueue.h"
#include "common/UpgradeFile.h"
#include "midi/MidiUpgrade.h"
#include "midi/QXInterface.h"
#include "support/FakeMidiEndpoints.h"
#include "support/Hex.h"

namespace qx {
using test::hex;

namespace {
Bytes sysexOf(std::size_t length)
{
    Bytes m(length, 0x22);
    m.front() = 0xF0;
    m.back() = 0xF7;
    return m;
}

std::string writeTemp(const std::string& name, const Bytes& contents)
{
    // Named per process: the suite may run in several builds at once.
    const auto path = std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "-" + name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(contents.data()),
                                                static_cast<std::streamsize>(contents.size()));
    return path.string();
}
}  // namespace

TEST(UpgradeFileCheck, AcceptsBackToBackCompleteMessages)
{
    Bytes file = sysexOf(10);
    const Bytes big = sysexOf(256);
    file.insert(file.end(), big.begin(), big.end());
    EXPECT_EQ(checkSysExUpgrade(file), std::nullopt);
}

TEST(UpgradeFileCheck, SaysWhereAndWhy)
{
    EXPECT_EQ(checkSysExUpgrade(hex("00 F0 F7")), "offset 0: expected 0xF0 to start a message, found 0x00");
    Bytes tooLong = sysexOf(10);
    const Bytes big = sysexOf(300);
    tooLong.insert(tooLong.end(), big.begin(), big.end());
    EXPECT_EQ(checkSysExUpgrade(tooLong), "offset 10: message of 300 bytes is longer than 256");
    EXPECT_EQ(checkSysExUpgrade(hex("F0 01 F8 F7")),
              "offset 2: found 0xF8 inside the message that starts at offset 0");
    EXPECT_EQ(checkSysExUpgrade(hex("F0 01 02")), "offset 0: message not closed by 0xF7 before the end of the file");
}

TEST(UpgradeFileRead, RefusesEmptyMissingAndOversizedFiles)
{
    auto missing = readUpgradeFile("/nonexistent/upgrade.syx");
    ASSERT_TRUE(std::holds_alternative<std::string>(missing));
    auto empty = readUpgradeFile(writeTemp("qx-empty.syx", {}));
    ASSERT_TRUE(std::holds_alternative<std::string>(empty));
    EXPECT_NE(std::get<std::string>(empty).find("is empty"), std::string::npos);
    auto oversized = readUpgradeFile(writeTemp("qx-big.syx", Bytes(1'200'000, 0xF0)));
    ASSERT_TRUE(std::holds_alternative<std::string>(oversized));
    EXPECT_NE(std::get<std::string>(oversized).find("longer than 1,000,000"), std::string::npos);
    auto exact = readUpgradeFile(writeTemp("qx-exact.syx", Bytes(1'000'000, 0xF0)));
    ASSERT_TRUE(std::holds_alternative<Bytes>(exact));
    EXPECT_EQ(std::get<Bytes>(exact).size(), 1'000'000u);
}

TEST(MidiUpgradeSteps, TwoMessagesWithProgress)
{
    MidiUpgrade upgrade;
    Bytes file = sysexOf(10);
    const Bytes second = sysexOf(200);
    file.insert(file.end(), second.begin(), second.end());
    upgrade.load(file);
    auto s1 = upgrade.next();
    EXPECT_EQ(s1.message.size(), 10u);
    EXPECT_DOUBLE_EQ(s1.progress, 10.0 / 210.0);
    auto s2 = upgrade.next();
    EXPECT_EQ(s2.message, second);
    EXPECT_DOUBLE_EQ(s2.progress, 1.0);
    EXPECT_TRUE(upgrade.inProgress());
    auto s3 = upgrade.next();
    EXPECT_TRUE(s3.finished);
    EXPECT_FALSE(upgrade.inProgress());
}

TEST(MidiUpgradeStart, BadFilesAreRefusedBeforeAnythingIsSent)
{
    ManualMainQueue ui;
    auto* endpoints = new test::FakeMidiEndpoints;
    QXInterface link(ui, std::unique_ptr<MidiEndpoints>(endpoints));
    TransferGate gate;
    link.attachTransferGate(&gate);
    auto notPolling = link.loadUpgradeFile(writeTemp("qx-good.syx", sysexOf(20)));
    ASSERT_TRUE(notPolling);
    EXPECT_NE(notPolling->find("no looper is answering on MIDI"), std::string::npos);
    link.midiPolling.store(true);

    Bytes bad = sysexOf(10);
    const Bytes tooLong = sysexOf(300);
    bad.insert(bad.end(), tooLong.begin(), tooLong.end());
    auto refusal = link.loadUpgradeFile(writeTemp("qx-bad.syx", bad));
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->find("offset 10"), std::string::npos);
    EXPECT_FALSE(link.upgrade().inProgress());
    EXPECT_EQ(gate.holder(), "");

    EXPECT_EQ(link.loadUpgradeFile(writeTemp("qx-good.syx", sysexOf(20))), std::nullopt);
    EXPECT_TRUE(link.upgrade().inProgress());
    auto second = link.loadUpgradeFile(writeTemp("qx-good.syx", sysexOf(20)));
    ASSERT_TRUE(second);
    EXPECT_NE(second->find("already running"), std::string::npos);

    std::vector<Outcome> outcomes;
    link.setUpgradeOutcomeHandler([&](const Outcome& o) { outcomes.push_back(o); });
    link.sendUpgradeMessage();
    link.sendUpgradeMessage();
    ui.drain();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].success);
    EXPECT_EQ(gate.holder(), "");
    EXPECT_EQ(endpoints->messages(), std::vector<Bytes>{sysexOf(20)});
}

}  // namespace qx
