// Settings slice reports: the packed groups, the words the six settings come
// from, and how a report lands in both records of the settings model.
#include <gtest/gtest.h>

#include <memory>

#include "LinkUnderTest.h"
#include "LooperReplies.h"
#include "midi/SettingsSlice.h"
#include "support/ConsoleCapture.h"
#include "support/Hex.h"

namespace qx {
namespace {

using test::hex;

TEST(PackedGroups, TopByteBitsGoToBitSevenOfTheirOwnDataByte)
{
    // One group after the slice number, then the end.
    const Bytes firstOnly = hex("F0 00 02 33 15 00 40 01 02 03 04 05 06 07 F7");
    EXPECT_EQ(decodeSettingsSlice(firstOnly).decodedBytes, hex("81 02 03 04 05 06 07"));
    const Bytes seventhOnly = hex("F0 00 02 33 15 00 01 01 02 03 04 05 06 07 F7");
    EXPECT_EQ(decodeSettingsSlice(seventhOnly).decodedBytes, hex("01 02 03 04 05 06 87"));
}

TEST(PackedGroups, FullReportGivesAllDataBytesInOrder)
{
    test::SliceData data{};
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37 + 11);
    const Bytes report = test::sliceReport(72, data);
    ASSERT_EQ(report.size(), 159u);
    const SettingsSlice slice = decodeSettingsSlice(report);
    EXPECT_EQ(slice.sliceNum, 72);
    EXPECT_EQ(slice.decodedBytes, Bytes(data.begin(), data.end()));
}

TEST(PackedGroups, SliceWithoutDataAndCutShortMessages)
{
    const SettingsSlice empty = decodeSettingsSlice(hex("F0 00 02 33 15 05 F7"));
    EXPECT_EQ(empty.sliceNum, 5);
    EXPECT_TRUE(empty.decodedBytes.empty());
    EXPECT_EQ(empty.valueAt(0), 0);

    // A group cut off by the end of the message keeps what it had.
    const SettingsSlice cut = decodeSettingsSlice(hex("F0 00 02 33 15 00 00 09 08"));
    EXPECT_EQ(cut.decodedBytes, hex("09 08"));
    EXPECT_EQ(decodeSettingsSlice(hex("F0 00")).sliceNum, -1);
}

TEST(SliceWords, LittleEndianAndZeroPastTheEnd)
{
    SettingsSlice slice;
    slice.decodedBytes = hex("34 12 FF");
    EXPECT_EQ(slice.valueAt(0), 0x1234);
    EXPECT_EQ(slice.valueAt(1), 0xFF12);
    EXPECT_EQ(slice.valueAt(2), 0);  // no byte 3
    EXPECT_EQ(slice.valueAt(500), 0);
}

class SliceReports : public ::testing::Test {
protected:
    void SetUp() override { looper.link->qxMiscConfig = model; }

    test::LinkUnderTest looper;
    std::shared_ptr<MiscConfigModel> model =
        std::make_shared<MiscConfigModel>(looper.link->cmdQueue, defaultMiscConfig());
};

TEST_F(SliceReports, SliceZeroFillsFiveSettingsInBothRecords)
{
    test::SliceData data{};
    data.fill(0x55);  // every other word is noise
    test::putWord(data, 52, 1);      // display
    test::putWord(data, 54, 1);      // in clock
    test::putWord(data, 56, 7);      // brightness
    test::putWord(data, 86, 0x00C8); // noise gate, top bit carried by the group
    test::putWord(data, 94, 0x0103); // channel, high byte counts
    test::putWord(data, 98, 1);      // the out clock lives in slice 72, not here
    looper.receive(test::sliceReport(0, data));

    const MiscConfigStruct expected{.qx2Brightness = 7, .qx2DisplayType = 1, .midiInClockMode = 1,
                                    .midiOutClockMode = 0, .midiChannel = 0x0103, .noiseGateLevel = 200};
    EXPECT_EQ(model->currentConfig, expected);
    EXPECT_EQ(model->oldConfig, expected);
    EXPECT_EQ(looper.link->miscConfigCache(), expected);
    EXPECT_TRUE(looper.takeQueued().empty());
}

TEST_F(SliceReports, SliceSeventyTwoChangesOnlyTheOutClock)
{
    test::SliceData zero{};
    test::putWord(zero, 56, 3);
    test::putWord(zero, 94, 4);
    looper.receive(test::sliceReport(0, zero));

    model->currentConfig.noiseGateLevel = 9;  // a pick the report will overwrite
    test::SliceData seventyTwo{};
    test::putWord(seventyTwo, 52, 1);  // slice 0's offsets mean nothing here
    test::putWord(seventyTwo, 56, 7);
    test::putWord(seventyTwo, 98, 1);
    looper.receive(test::sliceReport(72, seventyTwo));

    const MiscConfigStruct expected{.qx2Brightness = 3, .qx2DisplayType = 0, .midiInClockMode = 0,
                                    .midiOutClockMode = 1, .midiChannel = 4, .noiseGateLevel = 0};
    EXPECT_EQ(model->currentConfig, expected);
    EXPECT_EQ(model->oldConfig, expected);
}

TEST_F(SliceReports, OtherSliceChangesNoFieldButStillSettlesTheModel)
{
    model->currentConfig.qx2Brightness = 7;
    test::SliceData data{};
    test::putWord(data, 56, 3);
    looper.receive(test::sliceReport(5, data));
    // The cache still holds its start values (all zero) and both records get them.
    EXPECT_EQ(model->currentConfig, MiscConfigStruct{});
    EXPECT_EQ(model->oldConfig, MiscConfigStruct{});
}

TEST_F(SliceReports, ModelCountsTheReportsOfEachSlice)
{
    const test::SliceData data{};
    looper.receive(test::sliceReport(0, data));
    looper.receive(test::sliceReport(72, data));
    looper.receive(test::sliceReport(72, data));
    looper.receive(test::sliceReport(5, data));
    EXPECT_EQ(model->slicesTaken(0), 1);
    EXPECT_EQ(model->slicesTaken(72), 2);
    EXPECT_EQ(model->slicesTaken(5), 0);
}

TEST_F(SliceReports, ReportIsTakenByTheModelAttachedWhenTheUpdateRuns)
{
    test::SliceData data{};
    test::putWord(data, 56, 7);
    looper.link->handleSysEx(test::sliceReport(0, data));
    auto replacement = std::make_shared<MiscConfigModel>(looper.link->cmdQueue, defaultMiscConfig());
    looper.link->qxMiscConfig = replacement;
    looper.mainQueue.drain();
    EXPECT_EQ(replacement->currentConfig.qx2Brightness, 7);
    EXPECT_EQ(model->currentConfig.qx2Brightness, 0);
}

TEST_F(SliceReports, WrongLengthIsAnUnknownMessage)
{
    test::ConsoleCapture console;
    test::SliceData data{};
    test::putWord(data, 56, 7);
    Bytes shortReport = test::sliceReport(0, data);
    shortReport.erase(shortReport.end() - 2);  // 158 bytes
    looper.receive(shortReport);
    EXPECT_EQ(model->currentConfig.qx2Brightness, 0);
    ASSERT_EQ(console.lines().size(), 1u);
    EXPECT_TRUE(console.lines()[0].starts_with("\"Unknown sysex \" [240, 0, 2, 51, 21, 0, "));
}

}  // namespace
}  // namespace qx
