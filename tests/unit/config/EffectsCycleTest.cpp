// The "QX2 Buttons" edit cycle: effects reports fill both banks, an edit
// raises the write request on every tick until the looper reports the banks,
// and the write carries both banks.
#include <gtest/gtest.h>

#include <memory>

#include "LinkUnderTest.h"
#include "LooperReplies.h"
#include "config/SettingsTicks.h"
#include "support/Hex.h"

namespace qx {
namespace {

using test::hex;
using test::Slots;

Slots slotsOf(const QX2Effects& bank)
{
    Slots out{};
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = bank.effects[i].effectNum();
    return out;
}

class EffectsCycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        looper.link->attachEffectsModels(bank1, bank2);
        looper.link->attachResponseQueue(&responses);
    }
    // One tick; true when it asked for the effects write.
    bool tick()
    {
        cycle.tick();
        return looper.link->takeTriggers().save;
    }
    // The write the polling cycle would send now.
    Bytes write()
    {
        looper.link->sendEffectsConfiguration();
        const auto sent = looper.takeSent();
        return sent.size() == 1 ? sent[0] : Bytes{};
    }

    const Slots reported1{48, -1, 0, 0, 0, 0, 0, 0};
    const Slots reported2{1, 2, 3, 4, 5, 6, 7, 8};
    test::LinkUnderTest looper;
    QXCommandQueue responses;
    std::shared_ptr<QX2Effects> bank1 = std::make_shared<QX2Effects>();
    std::shared_ptr<QX2Effects> bank2 = std::make_shared<QX2Effects>();
    QX2EffectsTick cycle{bank1, bank2, [this] { looper.link->requestEffectsWrite(); }};
};

TEST_F(EffectsCycle, NothingIsRequestedBeforeTheFirstReport)
{
    bank1->effects[0].setEffectNum(16);
    bank2->effects[3].setEffectNum(2103);
    EXPECT_FALSE(tick());
    EXPECT_FALSE(tick());
    EXPECT_EQ(cycle.refreshCount(), 2);
}

TEST_F(EffectsCycle, ReportFillsBothBanksAndLeavesThemInStep)
{
    looper.receive(test::effectsReport(reported1, reported2));
    EXPECT_EQ(slotsOf(*bank1), reported1);
    EXPECT_EQ(bank1->oldvalues, FunctionValues(reported1.begin(), reported1.end()));
    EXPECT_EQ(slotsOf(*bank2), reported2);
    EXPECT_FALSE(bank1->hasChanges());
    EXPECT_FALSE(bank2->hasChanges());
    EXPECT_EQ(looper.link->effectsBank(1), reported1);
    EXPECT_FALSE(tick());
}

TEST_F(EffectsCycle, EditIsRequestedEveryTickUntilTheLooperReportsIt)
{
    looper.receive(test::effectsReport(reported1, reported2));
    bank2->effects[7].setEffectNum(2103);  // "QX2 1/2 Speed"
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(tick()) << "tick " << i;

    const Bytes sent = write();
    ASSERT_EQ(sent.size(), 39u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 6), hex("F0 00 02 33 0A 08"));
    EXPECT_EQ(Bytes(sent.begin() + 6, sent.begin() + 22),
              hex("00 30 7F 7F 00 00 00 00 00 00 00 00 00 00 00 00"));  // bank 1 unchanged
    EXPECT_EQ(sent[36], 0x10);
    EXPECT_EQ(sent[37], 0x37);
    EXPECT_EQ(sent[38], 0xF7);
    EXPECT_TRUE(tick()) << "the write alone does not settle the bank";

    Slots updated = reported2;
    updated[7] = 2103;
    looper.receive(test::effectsReport(reported1, updated));
    EXPECT_FALSE(tick());
    EXPECT_EQ(slotsOf(*bank2), updated);
}

TEST_F(EffectsCycle, SlotSetBackEndsTheRepetitionAtOnce)
{
    looper.receive(test::effectsReport(reported1, reported2));
    bank1->effects[0].setEffectNum(99);
    EXPECT_TRUE(tick());
    bank1->effects[0].setEffectNum(48);
    EXPECT_FALSE(tick());
}

TEST_F(EffectsCycle, WriteCarriesEachSlotAsASevenBitPair)
{
    bank1->effects[0].setEffectNum(200);
    bank1->effects[1].setEffectNum(-1);
    bank2->effects[0].setEffectNum(2007);
    const Bytes sent = write();
    ASSERT_EQ(sent.size(), 39u);
    EXPECT_EQ(Bytes(sent.begin() + 6, sent.begin() + 10), hex("01 48 7F 7F"));
    EXPECT_EQ(Bytes(sent.begin() + 22, sent.begin() + 24), hex("0F 57"));
    EXPECT_EQ(bank1->effects[0].effectNum(), 200) << "the write changes no slot";
}

TEST_F(EffectsCycle, NoWriteWithoutBothBanks)
{
    looper.link->attachEffectsModels(bank1, nullptr);
    EXPECT_TRUE(write().empty());
}

TEST_F(EffectsCycle, EveryReportAlsoGoesToTheTransfer)
{
    const Bytes report = test::effectsReport(reported1, reported2);
    looper.receive(report);
    looper.link->attachEffectsModels(nullptr, nullptr);
    looper.receive(report);
    EXPECT_EQ(responses.count(), 2u);
    EXPECT_EQ(responses.dequeue(), report);
    EXPECT_EQ(responses.dequeue(), report);
}

TEST_F(EffectsCycle, ShortReportIsDroppedWhole)
{
    Bytes report = test::effectsReport(reported1, reported2);
    report.erase(report.end() - 2);
    looper.receive(report);
    EXPECT_EQ(responses.count(), 0u);
    EXPECT_TRUE(bank1->oldvalues.empty());
    EXPECT_EQ(slotsOf(*bank1)[0], -1);
}

TEST_F(EffectsCycle, TwoQuickReportsLeaveTheSecondShowing)
{
    looper.link->handleSysEx(test::effectsReport(reported1, reported2));
    looper.link->handleSysEx(test::effectsReport(reported2, reported1));
    looper.mainQueue.drain();
    EXPECT_EQ(slotsOf(*bank1), reported2);
    EXPECT_EQ(slotsOf(*bank2), reported1);
    EXPECT_EQ(bank2->oldvalues, FunctionValues(reported1.begin(), reported1.end()));
}

}  // namespace
}  // namespace qx
