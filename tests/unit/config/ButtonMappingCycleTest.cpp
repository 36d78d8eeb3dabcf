// The "MIDI Button" edit cycle, stepped tick by tick against the link
// controller: requests, reports, writes and button events.
#include <gtest/gtest.h>

#include <memory>

#include "LinkUnderTest.h"
#include "LooperReplies.h"
#include "config/SettingsTicks.h"
#include "support/Hex.h"

namespace qx {
namespace {

using test::bytes;
using test::hex;
using test::Slots;

Bytes request(int high, int low)
{
    return bytes({0xF0, 0x00, 0x02, 0x33, 0x0E, high, low, 0x01, 0xF7});
}

Slots slotsOf(const MIDIButtonConfig& model)
{
    Slots out{};
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = model.effects[i].effectNum();
    return out;
}

class ButtonMappingCycle : public ::testing::Test {
protected:
    void SetUp() override { looper.link->qxMIDIButtons = model; }
    std::vector<Bytes> tick()
    {
        cycle.tick();
        return looper.takeQueued();
    }
    // Shows program change 0 with the report of the edge case below.
    void showButtonZero()
    {
        ASSERT_EQ(tick(), std::vector<Bytes>{request(0x00, 0x00)});
        looper.receive(test::buttonReport(0, reported));
    }

    const Slots reported{7, -1, 1, 1, 1, 1, 1, 1};
    test::LinkUnderTest looper;
    std::shared_ptr<MIDIButtonConfig> model = std::make_shared<MIDIButtonConfig>(looper.link->cmdQueue);
    MIDIButtonTick cycle{model};
};

TEST_F(ButtonMappingCycle, FreshModelShowsNothing)
{
    EXPECT_EQ(model->currentBtn, -1);
    EXPECT_TRUE(model->oldvalues.empty());
    EXPECT_EQ(slotsOf(*model), (Slots{-1, -1, -1, -1, -1, -1, -1, -1}));
    EXPECT_NE(model->effects[0].id, model->effects[1].id);
}

TEST_F(ButtonMappingCycle, FirstTickAsksForProgramChangeZeroOnce)
{
    EXPECT_EQ(tick(), std::vector<Bytes>{request(0x00, 0x00)});
    EXPECT_EQ(model->currentBtn, 0);
    EXPECT_TRUE(tick().empty());  // no answer yet, and no repeat
    EXPECT_EQ(cycle.refreshCount(), 2);
}

TEST_F(ButtonMappingCycle, PickedButtonIsRequestedByItsCode)
{
    tick();
    cycle.midiButtonType = 256;
    cycle.midiButtonNum = 127;
    EXPECT_EQ(tick(), std::vector<Bytes>{request(0x02, 0x7F)});
    EXPECT_EQ(model->currentBtn, 383);
    cycle.midiButtonType = 128;
    cycle.midiButtonNum = 5;
    EXPECT_EQ(tick(), std::vector<Bytes>{request(0x01, 0x05)});
    EXPECT_EQ(model->currentBtn, 133);
}

TEST_F(ButtonMappingCycle, ReportForTheShownButtonFillsTheSlots)
{
    showButtonZero();
    EXPECT_EQ(slotsOf(*model), reported);
    EXPECT_EQ(model->oldvalues, FunctionValues(reported.begin(), reported.end()));
    EXPECT_TRUE(tick().empty());
}

TEST_F(ButtonMappingCycle, EditIsWrittenOnceWithAllEightSlots)
{
    showButtonZero();
    model->effects[2].setEffectNum(16);  // "Stop"
    const auto sent = tick();
    ASSERT_EQ(sent.size(), 1u);
    const Bytes& write = sent[0];
    ASSERT_EQ(write.size(), 24u);
    EXPECT_EQ(Bytes(write.begin(), write.begin() + 7), hex("F0 00 02 33 10 00 00"));
    EXPECT_EQ(Bytes(write.begin() + 7, write.end()),
              hex("00 07 7F 7F 00 10 00 01 00 01 00 01 00 01 00 01 F7"));
    EXPECT_EQ(model->oldvalues, (FunctionValues{7, -1, 16, 1, 1, 1, 1, 1}));
    EXPECT_TRUE(tick().empty());
}

TEST_F(ButtonMappingCycle, EditsBeforeAnyReportAreNotWritten)
{
    tick();
    model->effects[0].setEffectNum(16);
    EXPECT_TRUE(tick().empty());
    model->sendIfChanged();
    EXPECT_TRUE(looper.takeQueued().empty());
}

TEST_F(ButtonMappingCycle, ReportForAnotherButtonChangesNothing)
{
    showButtonZero();
    cycle.midiButtonNum = 6;
    tick();
    ASSERT_EQ(model->currentBtn, 6);
    looper.receive(test::buttonReport(5, {9, 9, 9, 9, 9, 9, 9, 9}));
    looper.receive(test::buttonReport(0, {9, 9, 9, 9, 9, 9, 9, 9}));  // late, for the old button
    EXPECT_EQ(slotsOf(*model), reported);
    EXPECT_TRUE(model->oldvalues.empty());
    EXPECT_TRUE(tick().empty());
}

TEST_F(ButtonMappingCycle, EditsWhileTheNewButtonIsAwaitedAreNotWrittenToIt)
{
    showButtonZero();
    cycle.midiButtonType = 128;
    cycle.midiButtonNum = 1;
    tick();
    model->effects[0].setEffectNum(16);
    EXPECT_TRUE(tick().empty());
    looper.receive(test::buttonReport(129, {2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(slotsOf(*model), (Slots{2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(tick().empty());
}

TEST_F(ButtonMappingCycle, ButtonEventMovesTheSelectionAtTheNextTick)
{
    showButtonZero();
    looper.receive(hex("F0 00 02 33 18 02 24 7F F7"));
    EXPECT_EQ(model->receivedBtnType, 256);
    EXPECT_EQ(model->receivedBtnNum, 36);
    EXPECT_EQ(model->currentBtn, 0);  // nothing happens before the tick
    EXPECT_TRUE(looper.takeQueued().empty());

    EXPECT_EQ(tick(), std::vector<Bytes>{request(0x02, 0x24)});
    EXPECT_EQ(cycle.midiButtonType, 256);
    EXPECT_EQ(cycle.midiButtonNum, 36);
    EXPECT_EQ(model->currentBtn, 292);
    EXPECT_EQ(model->receivedBtnType, -1);
    EXPECT_EQ(model->receivedBtnNum, -1);
    EXPECT_TRUE(tick().empty());
}

TEST_F(ButtonMappingCycle, EditIsWrittenToTheOldButtonBeforeAnEventMovesOn)
{
    showButtonZero();
    model->effects[7].setEffectNum(2103);
    looper.receive(test::buttonEvent(1, 64));
    const auto sent = tick();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][4], 0x10);
    EXPECT_EQ(Bytes(sent[0].begin() + 5, sent[0].begin() + 7), hex("00 00"));
    EXPECT_EQ(Bytes(sent[0].begin() + 21, sent[0].begin() + 23), hex("10 37"));
    EXPECT_EQ(sent[1], request(0x01, 0x40));
}

TEST_F(ButtonMappingCycle, EventWithUnknownKindIsIgnored)
{
    showButtonZero();
    looper.receive(test::buttonEvent(5, 36));
    EXPECT_EQ(model->receivedBtnType, -1);
    EXPECT_EQ(model->receivedBtnNum, 36);
    EXPECT_TRUE(tick().empty());
    EXPECT_EQ(model->currentBtn, 0);
    EXPECT_EQ(model->receivedBtnNum, 36);  // kept until the next event
}

TEST_F(ButtonMappingCycle, EightButtonReportGoesToTheTransferOnly)
{
    QXCommandQueue responses;
    looper.link->attachResponseQueue(&responses);
    tick();
    Bytes block = test::envelope(0x0F);
    test::appendPair(block, 0);
    block.push_back(8);
    for (int i = 0; i < 64; ++i) test::appendPair(block, 3);
    block.push_back(0xF7);
    ASSERT_EQ(block.size(), 137u);
    looper.receive(block);
    EXPECT_EQ(responses.dequeue(), block);
    EXPECT_TRUE(model->oldvalues.empty());
    EXPECT_EQ(slotsOf(*model)[0], -1);
}

}  // namespace
}  // namespace qx
