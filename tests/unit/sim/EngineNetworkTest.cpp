// The engine's side of the network protocol: text queries, SysEx datagrams
// and the firmware transfer in slices.
#include <gtest/gtest.h>

#include "midi/Messages.h"
#include "sim/CompactStatus.h"
#include "SimTestSupport.h"

namespace qx::sim {
namespace {

using test::bytesOf;
using test::ClockedLooper;
using test::hex;
using test::onlyReply;
using test::text;

std::uint32_t wordAt(const Bytes& b, std::size_t at)
{
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

Bytes slice(int number, const Bytes& data, std::size_t from, std::size_t count)
{
    Bytes d(4 + count);
    d[1] = 0x03;
    d[2] = static_cast<std::uint8_t>(number >> 8);
    d[3] = static_cast<std::uint8_t>(number & 0xFF);
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(from), count, d.begin() + 4);
    return d;
}

Bytes fileOf(std::size_t size)
{
    Bytes file(size);
    for (std::size_t i = 0; i < size; ++i) file[i] = static_cast<std::uint8_t>((i * 7 + i / 512) & 0xFF);
    return file;
}

TEST(EngineNetwork, IdentityQueryAnswersTheName)
{
    EngineOptions options;
    options.name = "Unit7";
    ClockedLooper looper(options);
    EXPECT_EQ(onlyReply(looper.engine->receiveDatagram(text("<query>id</query>"))), text("<id>Unit7</id>"));
    EXPECT_TRUE(looper.engine->receiveDatagram(text("<query>ID</query>")).empty());
}

TEST(EngineNetwork, CompactStatusDescribesTheTracksAsTheyPlay)
{
    ClockedLooper looper;
    looper.advanceSeconds(2.5);  // track 1 (2.0 s) has wrapped; track 2 records on
    const Bytes report = onlyReply(looper.engine->receiveDatagram(text("<query>status compact</query>")));
    ASSERT_EQ(report.size(), kCompactStatusSize);
    EXPECT_EQ(wordAt(report, 0), 48000u);
    EXPECT_EQ(wordAt(report, 4), 4u);
    const std::uint32_t states[] = {4, 1, 3, 2};
    const std::uint32_t lengths[] = {96000, 120000, 144000, 192000};
    const std::uint32_t positions[] = {24000, 120000, 0, 144000};
    const std::uint32_t levels[] = {0, 4294967290u, 4294967284u, 4294967293u};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(wordAt(report, 8 + 4 * i), states[i]) << i;
        EXPECT_EQ(wordAt(report, 40 + 4 * i), lengths[i]) << i;
        EXPECT_EQ(wordAt(report, 72 + 4 * i), positions[i]) << i;
        EXPECT_EQ(wordAt(report, 104 + 4 * i), levels[i]) << i;
        EXPECT_EQ(wordAt(report, 200 + 4 * i), i == 0 ? 1u : 0u) << i;
    }
    for (std::size_t i = 4; i < 8; ++i) EXPECT_EQ(wordAt(report, 8 + 4 * i), 0u) << "no track " << i + 1;
}

TEST(EngineNetwork, LogQueryWrapsNewTextAndIsSilentWhenThereIsNone)
{
    ClockedLooper looper(test::emptyStage());
    EXPECT_TRUE(looper.engine->receiveDatagram(text("<query>log</query>")).empty());
    looper.engine->appendLog("abc");
    Bytes expected = text("<log>abc</log>");
    expected.push_back(0x00);
    EXPECT_EQ(onlyReply(looper.engine->receiveDatagram(text("<query>log</query>"))), expected);
    EXPECT_TRUE(looper.engine->receiveDatagram(text("<query>log</query>")).empty());
}

TEST(EngineNetwork, SysExDatagramsAreAnsweredLikeMidiMessages)
{
    ClockedLooper looper;
    const auto overUdp = bytesOf(looper.engine->receiveDatagram(msg::statusRequest()));
    const auto overMidi = bytesOf(looper.engine->receiveMidi(msg::statusRequest()));
    ASSERT_EQ(overUdp.size(), 1u);
    EXPECT_EQ(overUdp, overMidi);
    looper.engine->receiveDatagram(msg::settingWrite(msg::kNoiseGateWrite, 12));
    EXPECT_EQ(looper.engine->settings().noiseGateLevel, 12);
    looper.engine->receiveDatagram(hex("F0 00 02 33 41 F7"));
    EXPECT_EQ(looper.engine->upgradeImage().bytes, hex("F0 00 02 33 41 F7"));
}

TEST(EngineNetwork, UnknownDatagramsAreIgnored)
{
    ClockedLooper looper;
    for (const Bytes& d : {text("<query>nothing</query>"), text("hello"), hex("00 04 00 01"), hex("00 03 00"), Bytes{}})
        EXPECT_TRUE(looper.engine->receiveDatagram(d).empty()) << test::toHex(d);
}

TEST(EngineNetwork, UpgradeInSlicesWithDuplicatesAndStrays)
{
    ClockedLooper looper;
    LooperEngine& e = *looper.engine;
    const Bytes file = fileOf(1000);
    EXPECT_TRUE(e.receiveDatagram(slice(1, file, 0, 512)).empty()) << "no announcement yet";
    EXPECT_EQ(bytesOf(e.receiveDatagram(text("<command>upgrade 1000</command>"))), std::vector<Bytes>{hex("00 01")});
    EXPECT_EQ(onlyReply(e.receiveDatagram(slice(1, file, 0, 512))), hex("00 04 00 01"));
    EXPECT_FALSE(e.upgradeImage().complete);
    EXPECT_EQ(onlyReply(e.receiveDatagram(slice(1, file, 0, 512))), hex("00 04 00 01")) << "acknowledged again";
    EXPECT_TRUE(e.receiveDatagram(slice(3, file, 0, 10)).empty()) << "not the slice expected";
    EXPECT_EQ(onlyReply(e.receiveDatagram(slice(2, file, 512, 488))), hex("00 04 00 02"));
    const UpgradeImage image = e.upgradeImage();
    EXPECT_TRUE(image.complete);
    EXPECT_EQ(image.via, "udp");
    EXPECT_EQ(image.announced, 1000);
    EXPECT_EQ(image.bytes, file);
    EXPECT_EQ(onlyReply(e.receiveDatagram(slice(2, file, 512, 488))), hex("00 04 00 02"));
    EXPECT_EQ(e.upgradeImage().bytes, file) << "a late duplicate changes nothing";
}

TEST(EngineNetwork, SliceNumbersAboveTwoHundredFiftyFiveCarryTheirHighByte)
{
    ClockedLooper looper;
    LooperEngine& e = *looper.engine;
    const Bytes file = fileOf(300 * 512);
    e.receiveDatagram(text("<command>upgrade 153600</command>"));
    Bytes last;
    for (int n = 1; n <= 300; ++n)
        last = onlyReply(e.receiveDatagram(slice(n, file, static_cast<std::size_t>(n - 1) * 512, 512)));
    EXPECT_EQ(last, hex("00 04 01 2C"));
    EXPECT_TRUE(e.upgradeImage().complete);
    EXPECT_EQ(e.upgradeImage().bytes, file);
}

TEST(EngineNetwork, AnnouncementsOfNothingOrNonsense)
{
    ClockedLooper looper;
    LooperEngine& e = *looper.engine;
    EXPECT_TRUE(e.receiveDatagram(text("<command>upgrade 0</command>")).empty()) << "nothing to ask for";
    EXPECT_TRUE(e.upgradeImage().complete);
    for (const char* bad : {"<command>upgrade -1</command>", "<command>upgrade 12x</command>",
                            "<command>upgrade 1000001</command>", "<command>upgrade </command>"})
        EXPECT_TRUE(e.receiveDatagram(text(bad)).empty()) << bad;
}

TEST(EngineNetwork, ANewAnnouncementStartsAFreshImage)
{
    ClockedLooper looper;
    LooperEngine& e = *looper.engine;
    const Bytes file = fileOf(600);
    e.receiveDatagram(text("<command>upgrade 600</command>"));
    e.receiveDatagram(slice(1, file, 0, 512));
    e.receiveDatagram(text("<command>upgrade 600</command>"));
    EXPECT_TRUE(e.upgradeImage().bytes.empty());
    EXPECT_TRUE(e.receiveDatagram(slice(2, file, 512, 88)).empty()) << "slice 1 is expected again";
}

}  // namespace
}  // namespace qx::sim
