// The looper's messages, byte for byte against hand-built expectations.
#include <gtest/gtest.h>

#include "midi/SysExCodec.h"
#include "sim/CompactStatus.h"
#include "sim/LooperReplies.h"
#include "SimTestSupport.h"

namespace qx::sim {
namespace {

using test::hex;

TEST(LooperReplies, StatusReportCarriesFourBlocksWithFiveGroupCounts)
{
    const std::vector<SimTrack> tracks = {
        {TrackState::Stopped, 0, 0, 0, 0, 0, 0},
        {TrackState::Playing, 6, 64, 16, 96000, 16, 0},
        {TrackState::Recording, 127, 127, 127, 128, 128, 0},
        {TrackState::Replacing, 1, 2, 3, (std::int64_t{1} << 35) - 1, 0, 0},
    };
    EXPECT_EQ(reply::statusReport(4, 2, tracks),
              hex("F0 00 02 33 02 04 02"
                  " 03 00 00 00 00 00 00 00 00 00 00 00 00 00"
                  " 04 06 40 10 00 6E 05 00 00 10 00 00 00 00"
                  " 01 7F 7F 7F 00 01 00 00 00 00 01 00 00 00"
                  " 05 01 02 03 7F 7F 7F 7F 7F 00 00 00 00 00"
                  " F7"));
}

TEST(LooperReplies, StatusReportOfEightTracksStillHoldsFourBlocks)
{
    const std::vector<SimTrack> tracks(8, SimTrack{TrackState::Playing, 0, 64, 127, 48000, 0, 0});
    const Bytes report = reply::statusReport(8, 7, tracks);
    ASSERT_EQ(report.size(), 64u);
    EXPECT_EQ(report[5], 8);
    EXPECT_EQ(report[6], 7);
}

TEST(LooperReplies, TextMessages)
{
    EXPECT_EQ(reply::informationText("QX2 Sim 1.0"), hex("F0 00 02 33 17 51 58 32 20 53 69 6D 20 31 2E 30 00 F7"));
    EXPECT_EQ(reply::informationText(""), hex("F0 00 02 33 17 00 F7"));
    EXPECT_EQ(reply::logText("track 2 recording\n"),
              hex("F0 00 02 33 03 74 72 61 63 6B 20 32 20 72 65 63 6F 72 64 69 6E 67 0A F7"));
    EXPECT_EQ(reply::logText(""), hex("F0 00 02 33 03 F7"));
    // Bytes that would end the SysEx message early cannot be sent.
    EXPECT_EQ(reply::logText("\xC3\xA9"), hex("F0 00 02 33 03 3F 3F F7"));
}

TEST(LooperReplies, SettingsSliceIsPackedInNineteenGroups)
{
    SliceData data{};
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37 + 11);
    const Bytes report = reply::settingsSlice(72, data);
    ASSERT_EQ(report.size(), 159u);
    EXPECT_EQ(Bytes(report.begin(), report.begin() + 14), hex("F0 00 02 33 15 48 07 0B 30 55 7A 1F 44 69"));
    EXPECT_EQ(report.back(), 0xF7);
    const Bytes unpacked = sysex::unpackGroups(report, 6);
    EXPECT_EQ(unpacked, Bytes(data.begin(), data.end()));
}

TEST(LooperReplies, ButtonReportsOfOneAndEightButtons)
{
    const FunctionSlots one = {7, -1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(reply::buttonReport(130, std::vector<FunctionSlots>{one}),
              hex("F0 00 02 33 0F 01 02 01 00 07 7F 7F 00 01 00 01 00 01 00 01 00 01 00 01 F7"));
    std::vector<FunctionSlots> eight(8);
    for (std::size_t k = 0; k < 8; ++k) eight[k].fill(static_cast<std::int64_t>(k) * 300);
    const Bytes report = reply::buttonReport(376, eight);
    ASSERT_EQ(report.size(), 137u);
    EXPECT_EQ(Bytes(report.begin(), report.begin() + 8), hex("F0 00 02 33 0F 02 78 08"));
    // Button 376 + 7 at offset 8 + 16 * 7: 2100 is 0x10 0x34.
    EXPECT_EQ(Bytes(report.begin() + 120, report.begin() + 124), hex("10 34 10 34"));
}

TEST(LooperReplies, EffectsReportAndButtonEvent)
{
    const EffectBanks banks{{0, 1, 16, 15, 81, 126, -1, 2100}, {2103, 2008, -1, -1, 14, 13, 60, 47}};
    EXPECT_EQ(reply::effectsReport(banks), hex("F0 00 02 33 09 08"
                                               " 00 00 00 01 00 10 00 0F 00 51 00 7E 7F 7F 10 34"
                                               " 10 37 0F 58 7F 7F 7F 7F 00 0E 00 0D 00 3C 00 2F"
                                               " F7"));
    EXPECT_EQ(reply::buttonEvent(2, 36), hex("F0 00 02 33 18 02 24 00 F7"));
}

TEST(CompactStatus, WordsSitAtTheirOffsetsBigEndian)
{
    std::vector<SimTrack> tracks(4, SimTrack{TrackState::Empty, 0, 0, 0, 0, 0, 0});
    tracks[0] = {TrackState::Stopped, 10, 64, 127, 96000, 1000, 0};
    tracks[3] = {TrackState::Playing, 0, 5, 6, 0x01020304, 0x0A0B0C0D, 0};
    const Bytes report = compactStatus(tracks, 1);
    Bytes expected(232, 0);
    auto put = [&](std::size_t at, const char* bytes) {
        const Bytes b = hex(bytes);
        std::copy(b.begin(), b.end(), expected.begin() + static_cast<std::ptrdiff_t>(at));
    };
    put(0, "00 00 BB 80 00 00 00 04");
    put(8, "00 00 00 03");
    put(40, "00 01 77 00");
    put(72, "00 00 03 E8");
    put(104, "FF FF FF F6");  // level 10 goes out as -10
    put(136, "00 00 00 40");
    put(168, "00 00 00 7F");
    put(200, "00 00 00 01");
    put(8 + 12, "00 00 00 04");
    put(40 + 12, "01 02 03 04");
    put(72 + 12, "0A 0B 0C 0D");
    put(136 + 12, "00 00 00 05");
    put(168 + 12, "00 00 00 06");
    EXPECT_EQ(test::toHex(report), test::toHex(expected));
}

TEST(CompactStatus, EightTracksFillEveryArrayAndNoSelectionIsAllZero)
{
    std::vector<SimTrack> tracks(8, SimTrack{TrackState::Playing, 1, 1, 1, 1, 0, 0});
    const Bytes report = compactStatus(tracks, 0);
    ASSERT_EQ(report.size(), 232u);
    EXPECT_EQ(report[7], 8);
    EXPECT_EQ(report[8 + 4 * 7 + 3], 4);       // state of track 8
    EXPECT_EQ(report[168 + 4 * 7 + 3], 1);     // feedback of track 8
    for (std::size_t i = 200; i < 232; ++i) EXPECT_EQ(report[i], 0) << i;
}

}  // namespace
}  // namespace qx::sim
