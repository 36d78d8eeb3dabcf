// The "Misc Config" edit cycle: a pick becomes one write at the next tick, in
// field order, and the setting is then settled.
#include <gtest/gtest.h>

#include <memory>

#include "LinkUnderTest.h"
#include "LooperReplies.h"
#include "config/SettingsTicks.h"
#include "support/ConsoleCapture.h"
#include "support/Hex.h"

namespace qx {
namespace {

using test::bytes;
using test::hex;

class SettingsWrites : public ::testing::Test {
protected:
    void SetUp() override { looper.link->qxMiscConfig = model; }
    // One tick; returns what it queued.
    std::vector<Bytes> tick()
    {
        cycle.tick();
        return looper.takeQueued();
    }

    test::LinkUnderTest looper;
    std::shared_ptr<MiscConfigModel> model =
        std::make_shared<MiscConfigModel>(looper.link->cmdQueue, defaultMiscConfig());
    MiscConfigTick cycle{model};
};

TEST_F(SettingsWrites, StartValuesAreSettledAndSendNothing)
{
    EXPECT_EQ(model->currentConfig.midiChannel, 1);
    EXPECT_EQ(model->currentConfig.qx2Brightness, 0);
    EXPECT_TRUE(tick().empty());
    EXPECT_EQ(cycle.refreshCount(), 1);
}

TEST_F(SettingsWrites, BrightnessLowIsOneWriteThenNothing)
{
    model->currentConfig.qx2Brightness = 7;
    EXPECT_EQ(tick(), (std::vector<Bytes>{hex("F0 00 02 33 07 07 F7")}));
    EXPECT_EQ(model->oldConfig, model->currentConfig);
    EXPECT_TRUE(tick().empty());
}

TEST_F(SettingsWrites, DisplayModeTravelsAsItsValue)
{
    model->currentConfig.qx2DisplayType = 1;
    EXPECT_EQ(tick(), (std::vector<Bytes>{hex("F0 00 02 33 0C 01 F7")}));
}

TEST_F(SettingsWrites, BothClockSettingsShareOneTypeAndDifferByCode)
{
    const auto clockWrite = [](int code) {
        return std::vector<Bytes>{bytes({0xF0, 0x00, 0x02, 0x33, 0x08, code, 0xF7})};
    };
    model->currentConfig.midiInClockMode = 1;  // Ignore
    EXPECT_EQ(tick(), clockWrite(0x03));
    model->currentConfig.midiInClockMode = 0;  // Allow
    EXPECT_EQ(tick(), clockWrite(0x04));
    model->currentConfig.midiOutClockMode = 1;  // On
    EXPECT_EQ(tick(), clockWrite(0x02));
    model->currentConfig.midiOutClockMode = 0;  // Off
    EXPECT_EQ(tick(), clockWrite(0x01));
    // A mode with no code of its own goes out as code 0.
    model->currentConfig.midiOutClockMode = 5;
    EXPECT_EQ(tick(), clockWrite(0x00));
}

TEST_F(SettingsWrites, SeveralChangesInOneTickGoOutInFieldOrder)
{
    model->currentConfig.noiseGateLevel = 12;
    model->currentConfig.midiChannel = 16;
    EXPECT_EQ(tick(), (std::vector<Bytes>{hex("F0 00 02 33 05 10 F7"),
                                          hex("F0 00 02 33 06 0C F7")}));
    EXPECT_TRUE(tick().empty());

    model->currentConfig = {.qx2Brightness = 3, .qx2DisplayType = 0, .midiInClockMode = 1,
                            .midiOutClockMode = 1, .midiChannel = 2, .noiseGateLevel = 9};
    const auto sent = tick();
    ASSERT_EQ(sent.size(), 5u);
    std::vector<int> types;
    for (const auto& m : sent) types.push_back(m[4]);
    EXPECT_EQ(types, (std::vector<int>{0x07, 0x08, 0x08, 0x05, 0x06}));
    EXPECT_EQ(sent[1][5], 0x03);  // in clock before out clock
    EXPECT_EQ(sent[2][5], 0x02);
}

TEST_F(SettingsWrites, NegativeChannelIsReportedNotSentAndCountsAsSettled)
{
    test::ConsoleCapture console;
    model->currentConfig.midiChannel = -1;
    model->currentConfig.noiseGateLevel = 10;
    EXPECT_EQ(tick(), (std::vector<Bytes>{hex("F0 00 02 33 06 0A F7")}));
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"\"MIDI channel error \" -1"}));
    EXPECT_EQ(model->oldConfig.midiChannel, -1);
    EXPECT_TRUE(tick().empty());
    EXPECT_EQ(console.lines().size(), 1u);
}

TEST_F(SettingsWrites, ValueThatDoesNotFitOneDataByteIsNeverSent)
{
    model->currentConfig.qx2Brightness = 200;
    model->currentConfig.midiChannel = 128;
    EXPECT_TRUE(tick().empty());
    EXPECT_EQ(model->oldConfig, model->currentConfig);
}

TEST_F(SettingsWrites, LooperReportOverwritesAPendingPickAndNothingIsSent)
{
    model->currentConfig.qx2Brightness = 7;
    test::SliceData data{};
    test::putWord(data, 56, 3);   // brightness Medium
    test::putWord(data, 54, 4);   // an in-clock value that no option names
    test::putWord(data, 94, 5);   // channel
    looper.receive(test::sliceReport(0, data));
    EXPECT_EQ(model->currentConfig.qx2Brightness, 3);
    EXPECT_EQ(model->currentConfig.midiInClockMode, 4);
    EXPECT_EQ(model->currentConfig, model->oldConfig);
    EXPECT_TRUE(tick().empty());
}

}  // namespace
}  // namespace qx
