// The "Misc Config" settings: a pick becomes one write at the next tick, in
// field order; the looper's slice reports come in packed groups and land in
// both records of the model.
#include "LinkUnderTest.h"
#include "midi/SettingsSlice.h"
#include "support/ConsoleCapture.h"

namespace qx {
namespace {

using test::hex;
using Writes = std::vector<Bytes>;

// A slice report of 133 bytes that hold fill but for the little-endian words
// given at their offsets.
Bytes sliceReport(std::uint8_t slice, std::initializer_list<std::pair<std::size_t, std::uint16_t>> words,
                  std::uint8_t fill = 0)
{
    sim::SliceData data;
    data.fill(fill);
    for (auto [offset, word] : words) {
        data[offset] = static_cast<std::uint8_t>(word & 0xFF);
        data[offset + 1] = static_cast<std::uint8_t>(word >> 8);
    }
    return sim::reply::settingsSlice(slice, data);
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
    EXPECT_EQ(slice.valueAt(0), 0x1234);
    EXPECT_EQ(slice.valueAt(1), 0xFF12);
    EXPECT_EQ(slice.valueAt(2), 0) << "no byte past the end";
    EXPECT_EQ(slice.valueAt(500), 0);
}

class SettingsCycle : public test::LinkUnderTest {
protected:
    Writes tick()
    {
        cycle.tick();
        return queued();
    }
    test::ConsoleCapture console;
    MiscConfigTick cycle{settings};
};

TEST_F(SettingsCycle, PicksAreOneWriteEachAtTheNextTickInFieldOrder)
{
    EXPECT_TRUE(tick().empty()) << "the start values are settled";
    settings->currentConfig = {.qx2Brightness = 3, .qx2DisplayType = 1, .midiInClockMode = 1,
                               .midiOutClockMode = 1, .midiChannel = 16, .noiseGateLevel = 9};
    EXPECT_EQ(tick(), (Writes{hex("F0 00 02 33 07 03 F7"), hex("F0 00 02 33 0C 01 F7"), hex("F0 00 02 33 08 03 F7"),
                              hex("F0 00 02 33 08 02 F7"), hex("F0 00 02 33 05 10 F7"), hex("F0 00 02 33 06 09 F7")}))
        << "in clock Ignore is 03, out clock On is 02";
    EXPECT_TRUE(tick().empty());
    settings->currentConfig.midiInClockMode = 0;
    settings->currentConfig.midiOutClockMode = 0;
    EXPECT_EQ(tick(), (Writes{hex("F0 00 02 33 08 04 F7"), hex("F0 00 02 33 08 01 F7")}));  // Allow, Off
    settings->currentConfig.midiOutClockMode = 5;
    EXPECT_EQ(tick(), Writes{hex("F0 00 02 33 08 00 F7")}) << "a mode with no code of its own";

    // Values that cannot travel are never sent but count as settled.
    settings->currentConfig.midiChannel = -1;
    settings->currentConfig.noiseGateLevel = 10;
    EXPECT_EQ(tick(), Writes{hex("F0 00 02 33 06 0A F7")});
    settings->currentConfig.qx2Brightness = 200;  // more than one data byte holds
    settings->currentConfig.midiChannel = 128;
    EXPECT_TRUE(tick().empty());
    EXPECT_TRUE(tick().empty());
    EXPECT_EQ(console.lines(), std::vector<std::string>{"\"MIDI channel error \" -1"});
}

TEST_F(SettingsCycle, SliceReportsFillBothRecordsAndOverwritePendingPicks)
{
    settings->currentConfig.qx2Brightness = 3;  // a pick the report overwrites
    // Display, in clock, brightness, noise gate (top bit carried by the group),
    // channel (high byte counts); the out clock lives in slice 72, not here;
    // every other word is noise.
    receive(sliceReport(0, {{52, 1}, {54, 1}, {56, 7}, {86, 0xC8}, {94, 0x0103}, {98, 1}}, 0x55));
    MiscConfigStruct expected{.qx2Brightness = 7, .qx2DisplayType = 1, .midiInClockMode = 1,
                              .midiOutClockMode = 0, .midiChannel = 0x0103, .noiseGateLevel = 200};
    EXPECT_EQ(settings->currentConfig, expected);
    EXPECT_EQ(settings->oldConfig, expected);
    EXPECT_EQ(link.miscConfigCache(), expected);
    EXPECT_TRUE(tick().empty());

    receive(sliceReport(72, {{56, 3}, {98, 1}}));  // slice 0's offsets mean nothing here
    expected.midiOutClockMode = 1;
    EXPECT_EQ(settings->currentConfig, expected);
    settings->currentConfig.noiseGateLevel = 9;
    receive(sliceReport(5, {{56, 3}}));  // no setting, but it settles the model
    EXPECT_EQ(settings->currentConfig, expected);
    EXPECT_EQ(settings->oldConfig, expected);
    EXPECT_TRUE(settings->slicesTaken(0) == 1 && settings->slicesTaken(72) == 1) << "each report counted once";

    Bytes cut = sliceReport(0, {{56, 3}});
    cut.erase(cut.end() - 2);  // 158 bytes: not a slice report
    receive(cut);
    EXPECT_EQ(settings->currentConfig.qx2Brightness, 7);
    ASSERT_EQ(console.lines().size(), 1u);
    EXPECT_TRUE(console.lines()[0].starts_with("\"Unknown sysex \" [240, 0, 2, 51, 21, 0, ")) << console.lines()[0];
}

}  // namespace
}  // namespace qx
