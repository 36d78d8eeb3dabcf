#include <gtest/gtest.h>

#include "common/ConsoleLine.h"
#include "midi/Messages.h"
#include "midi/SysExCodec.h"
#include "support/Hex.h"

namespace qx {
using test::hex;

TEST(SevenBitPair, EncodesAndDecodesIncludingNoValue)
{
    Bytes out;
    sysex::appendPair(out, 200);
    sysex::appendPair(out, -1);
    sysex::appendPair(out, 2103);
    EXPECT_EQ(out, hex("01 48 7F 7F 10 37"));
    EXPECT_EQ(sysex::decodePair(0x01, 0x48), 200);
    EXPECT_EQ(sysex::decodePair(0x7F, 0x7F), -1);
    EXPECT_EQ(sysex::decodePair(0x7F, 0x7E), 16382);
    EXPECT_EQ(sysex::pairAt(hex("F0 00 02 33 0F 01"), 5), std::nullopt) << "pair reaching past the end";
}

TEST(FiveGroupCount, LowestGroupFirst)
{
    const Bytes sixteen = hex("10 00 00 00 00");
    const Bytes oneTwentyEight = hex("00 01 00 00 00");
    EXPECT_EQ(sysex::decodeFiveGroups(std::span<const std::uint8_t, 5>(sixteen.data(), 5)), 16);
    EXPECT_EQ(sysex::decodeFiveGroups(std::span<const std::uint8_t, 5>(oneTwentyEight.data(), 5)), 128);
    Bytes big;
    sysex::appendFiveGroups(big, 34359738367LL);  // 35 bits
    EXPECT_EQ(sysex::decodeFiveGroups(std::span<const std::uint8_t, 5>(big.data(), 5)), 34359738367LL);
}

TEST(PackedGroups, TopBitsComeFromTheGroupsFirstByte)
{
    // 0x40 gives bit 7 to the first data byte only; 0x01 to the seventh only.
    const Bytes first = sysex::unpackGroups(hex("F0 00 02 33 15 00 40 01 02 03 04 05 06 07 F7"), 6);
    EXPECT_EQ(first, hex("81 02 03 04 05 06 07"));
    const Bytes seventh = sysex::unpackGroups(hex("F0 00 02 33 15 00 01 01 02 03 04 05 06 07 F7"), 6);
    EXPECT_EQ(seventh, hex("01 02 03 04 05 06 87"));
    // A group cut short by the end of the message yields what it holds.
    EXPECT_EQ(sysex::unpackGroups(hex("F0 00 02 33 15 00 7F 01 02"), 6), hex("81 82"));

    Bytes data(133);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37);
    Bytes packed;
    sysex::appendPackedGroups(packed, data);
    EXPECT_EQ(packed.size(), 152u);
    packed.push_back(0xF7);
    EXPECT_EQ(sysex::unpackGroups(packed, 0), data);
}

TEST(TextForms, ToEndAndToZero)
{
    EXPECT_EQ(sysex::textToEnd(hex("F0 00 02 33 03 61 62 F7")), "ab");
    EXPECT_EQ(sysex::textToEnd(hex("F0 00 02 33 03 F7")), "");
    EXPECT_EQ(sysex::textToEnd(hex("F0 00 02 33 03 61 FF F7")), std::nullopt) << "invalid UTF-8";
    EXPECT_EQ(sysex::textToZero(hex("F0 00 02 33 17 31 2E 32 00 F7")), "1.2");
    EXPECT_EQ(sysex::textToZero(hex("F0 00 02 33 17 00 41 F7")), "");
    EXPECT_EQ(sysex::textToZero(hex("F0 00 02 33 17 41 42 F7")), "AB") << "no zero: ends at 0xF7";
    EXPECT_EQ(sysex::textToZero(hex("F0 00 02 33 17 41 C3 00 F7")), "A\xEF\xBF\xBD");
}

TEST(Envelope, NeedsSixBytesAndTheLoopersIdentifier)
{
    EXPECT_TRUE(sysex::hasLooperEnvelope(hex("F0 00 02 33 02 F7")));
    EXPECT_FALSE(sysex::hasLooperEnvelope(hex("F0 00 02 33 F7")));
    EXPECT_FALSE(sysex::hasLooperEnvelope(hex("F0 00 02 34 02 F7")));
}

TEST(MessageBuilders, EveryRequestAndWrite)
{
    EXPECT_EQ(msg::statusRequest(), hex("F0 00 02 33 02 F7"));
    EXPECT_EQ(msg::logRequest(), hex("F0 00 02 33 03 F7"));
    EXPECT_EQ(msg::effectsRequest(), hex("F0 00 02 33 09 F7"));
    EXPECT_EQ(msg::informationRequest(), hex("F0 00 02 33 16 F7"));
    EXPECT_EQ(msg::settingsSliceRequest(72), hex("F0 00 02 33 14 48 F7"));
    EXPECT_EQ(msg::settingWrite(msg::kBrightnessWrite, 7), hex("F0 00 02 33 07 07 F7"));
    EXPECT_EQ(msg::buttonMappingRequest(133, 1), hex("F0 00 02 33 0E 01 05 01 F7"));
    EXPECT_EQ(msg::buttonMappingRequest(376, 8), hex("F0 00 02 33 0E 02 78 08 F7"));

    const msg::Bank bank1{200, -1, 0, 0, 0, 0, 0, 0};
    const msg::Bank bank2{0, 0, 0, 0, 0, 0, 0, 2103};
    const Bytes write = msg::effectsWrite(bank1, bank2);
    ASSERT_EQ(write.size(), 39u);
    EXPECT_EQ(Bytes(write.begin(), write.begin() + 10), hex("F0 00 02 33 0A 08 01 48 7F 7F"));
    EXPECT_EQ(write[36], 0x10);
    EXPECT_EQ(write[37], 0x37);

    const Bytes mapping = msg::buttonMappingWrite(12, {1, 2, -1, 0, 0, 0, 0, 0});
    EXPECT_EQ(mapping, hex("F0 00 02 33 10 00 0C 00 01 00 02 7F 7F 00 00 00 00 00 00 00 00 00 00 F7"));
}

TEST(ConsoleLines, ItemFormat)
{
    EXPECT_EQ(formatConsoleLine({"Start function"}), "\"Start function\"");
    EXPECT_EQ(formatConsoleLine({"Unknown sysex ", hex("F0 00 02 33 04 F7")}),
              "\"Unknown sysex \" [240, 0, 2, 51, 4, 247]");
    EXPECT_EQ(formatConsoleLine({"MIDI channel error ", std::int64_t{-1}}), "\"MIDI channel error \" -1");
    EXPECT_EQ(formatConsoleLine({std::int64_t{12}, std::vector<std::int64_t>{1, 2, -1}}), "12 [1, 2, -1]");
}

}  // namespace qx
