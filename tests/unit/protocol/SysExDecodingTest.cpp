// What the decoder makes of every SysEx message, from MIDI or a datagram.
#include <gtest/gtest.h>

#include "protocol/ConfigReports.h"
#include "protocol/LooperReport.h"
#include "protocol/UpgradeFile.h"
#include "sim/LooperReplies.h"
#include "support/ConsoleCapture.h"
#include "support/Hex.h"

namespace qx {
namespace {

using test::hex;

// A 64-byte status report of four tracks: the given bytes after the type, then zeros.
Bytes statusReport(const std::string& afterType) { return test::padded("F0 00 02 33 02 " + afterType, 64); }

template <typename Record>
Record as(const Bytes& message)
{
    const LooperReport report = decodeSysEx(message);
    EXPECT_TRUE(std::holds_alternative<Record>(report)) << test::toHex(message);
    return std::holds_alternative<Record>(report) ? std::get<Record>(report) : Record{};
}

TEST(SysExDecoding, StatusReportGivesFourSignedTracks)
{
    // Four tracks, the second selected; per track state, level, pan, feedback,
    // then length and position in five 7-bit groups each, lowest first.
    const TrackReport report = as<TrackReport>(statusReport("04 02  00 00 F6 00 00 00 00 00 00 00 00 00 00 00"
                                                            "  04 06 40 10 00 6E 05 00 00 10 00 00 00 00"));
    EXPECT_EQ(report.form, TrackReport::Form::sysex);
    ASSERT_EQ(report.tracks.size(), 4u);
    EXPECT_EQ(report.tracks[1], (QXStatusStruct{.length = 96000, .position = 16, .status = 4, .level = -6, .pan = 64,
                                                .feedback = 16, .selected = true}));
    EXPECT_EQ(report.tracks[0], QXStatusStruct{.pan = 9}) << "pan bytes of 0x80 and above are inverted";
    for (std::size_t t : {2u, 3u}) EXPECT_EQ(report.tracks[t], QXStatusStruct{}) << t;
    for (const auto& track : as<TrackReport>(statusReport("04 00")).tracks) EXPECT_FALSE(track.selected);
}

TEST(SysExDecoding, InformationAndLogText)
{
    const std::pair<const char*, const char*> lines[] = {
        {"F0 00 02 33 17 31 2E 32 00 F7", "1.2"},
        {"F0 00 02 33 17 00 41 F7", ""},
        {"F0 00 02 33 17 41 42 F7", "AB"},  // no zero: the text ends at 0xF7
        {"F0 00 02 33 17 41 C3 00 F7", "A\xEF\xBF\xBD"},
    };
    for (const auto& [message, shown] : lines) EXPECT_EQ(as<InformationReport>(hex(message)).text, shown) << message;
    for (const char* dropped : {"F0 00 02 33 03 F7", "F0 00 02 33 03 78 FF F7"})  // empty; not UTF-8
        EXPECT_TRUE(std::holds_alternative<std::monostate>(decodeSysEx(hex(dropped)))) << dropped;
}

TEST(SysExDecoding, ConfigurationRepliesByTypeAndLength)
{
    const sim::EffectBanks banks{{48, -1, 0, 0, 0, 0, 0, 0}, {1, 2, 3, 4, 5, 6, 7, 2103}};
    const Bytes effects = sim::reply::effectsReport(banks);
    const EffectsReport decoded = as<EffectsReport>(effects);
    EXPECT_EQ(std::tie(decoded.bank1, decoded.bank2), std::tie(banks.bank1, banks.bank2));
    EXPECT_EQ(decoded.message, effects) << "kept whole for a transfer";

    // A two-byte code; the button events and settings slices are decoded by the edit cycle's tests.
    const sim::FunctionSlots one{7, -1, 16, 1, 1, 1, 1, 1};
    const ButtonMappingReport mapping = as<ButtonMappingReport>(sim::reply::buttonReport(292, std::span(&one, 1)));
    EXPECT_EQ(std::tie(mapping.code, mapping.functions), std::tuple(292, one));
    const Bytes block = sim::reply::buttonReport(0, std::vector<sim::FunctionSlots>(8, one));
    EXPECT_EQ(as<ButtonBlockReport>(block).message, block);
}

TEST(SysExDecoding, ForeignShortAndUnknownMessages)
{
    test::ConsoleCapture console;
    const Bytes shortEffects = test::padded("F0 00 02 33 09 08", 38);  // one byte short: dropped whole, silently
    for (const Bytes& nothing : {hex("F0 00 02 34 02 F7"), hex("F0 00 02 33 F7"), hex("F7"), shortEffects})
        EXPECT_TRUE(std::holds_alternative<std::monostate>(decodeSysEx(nothing))) << test::toHex(nothing);
    EXPECT_TRUE(console.lines().empty()) << "foreign, short or cut messages leave no trace";

    const Bytes shortReport = test::padded("F0 00 02 33 02 04 01", 62);  // not a status report
    const Bytes cutSlice = test::padded("F0 00 02 33 15 00", 158);  // one byte short
    for (const Bytes& unknown : {hex("F0 00 02 33 04 F7"), shortReport, cutSlice})
        EXPECT_TRUE(std::holds_alternative<std::monostate>(decodeSysEx(unknown)));
    std::string line = "\"Unknown sysex \" [240, 0, 2, 51, 2, 4, 1";
    for (int i = 0; i < 54; ++i) line += ", 0";
    const auto lines = console.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "\"Unknown sysex \" [240, 0, 2, 51, 4, 247]");
    EXPECT_EQ(lines[1], line + ", 247]");
    EXPECT_TRUE(lines[2].starts_with("\"Unknown sysex \" [240, 0, 2, 51, 21, 0, ")) << lines[2];
}

TEST(PackedGroups, TopBitsGoToBitSevenOfTheirOwnDataByteAndCutShortGroupsKeepWhatTheyHad)
{
    const std::pair<const char*, const char*> decoded[] = {
        {"F0 00 02 33 15 00 40 01 02 03 04 05 06 07 F7", "81 02 03 04 05 06 07"},
        {"F0 00 02 33 15 00 01 01 02 03 04 05 06 07 F7", "01 02 03 04 05 06 87"},
        {"F0 00 02 33 15 00 7F 01 02 03 04 05 06 07 08 01 02", "81 82 83 84 85 86 87 01 02"},
        {"F0 00 02 33 15 05 F7", ""},
    };
    for (const auto& [message, data] : decoded) EXPECT_EQ(decodeSettingsSlice(hex(message)).decodedBytes, hex(data));
    EXPECT_EQ(decodeSettingsSlice(hex("F0 00")).sliceNum, -1);
    SettingsSlice slice;
    slice.decodedBytes = hex("34 12 FF");
    EXPECT_EQ((std::vector{slice.valueAt(0), slice.valueAt(1), slice.valueAt(2), slice.valueAt(500)}),
              (std::vector<std::int64_t>{0x1234, 0xFF12, 0, 0})) << "no byte past the end";
}

// Each bad block report is dropped whole.
TEST(ButtonBlock, ReportsThatReachPastTheirEndOrTheLastButtonAreRefused)
{
    const std::vector<sim::FunctionSlots> eight(8, sim::FunctionSlots{9, 9, 9, 9, 9, 9, 9, 9});
    for (const Bytes& refused : {test::padded("F0 00 02 33 0F 00 08 08", 136),  // the last slot reaches the F7
                                 test::padded("F0 00 02 33 0F 00 00 09", 137),  // claims nine buttons, holds eight
                                 test::padded("F0 00 02 33 17 00 10 08", 137), sim::reply::buttonReport(380, eight),
                                 sim::reply::buttonReport(0x3FFF, eight)})  // 7F 7F reads as -1
        EXPECT_FALSE(decodeButtonBlock(refused).has_value()) << test::toHex(refused);
    const auto last = decodeButtonBlock(sim::reply::buttonReport(376, eight));  // fits exactly up to 383
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(std::pair(last->first, last->buttons.size()), (std::pair<std::size_t, std::size_t>(376, 8)));
}

TEST(UpgradeFileCheck, SaysWhereAndWhy)
{
    const std::pair<Bytes, std::optional<std::string>> rows[] = {
        {test::sysExRun({10, 256}), std::nullopt},
        {hex("00 F0 F7"), "offset 0: expected 0xF0 to start a message, found 0x00"},
        {test::sysExRun({10, 257}), "offset 10: message of 257 bytes is longer than 256"},
        {hex("F0 01 F8 F7"), "offset 2: found 0xF8 inside the message that starts at offset 0"},
        {hex("F0 01 02"), "offset 0: message not closed by 0xF7 before the end of the file"},
    };
    for (const auto& [file, expected] : rows) EXPECT_EQ(checkSysExUpgrade(file), expected) << test::toHex(file);
}

}  // namespace
}  // namespace qx
