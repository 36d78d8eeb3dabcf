// The "QX2 Buttons" edit cycle: effects reports fill both banks, an edit
// raises the write request on every tick until the looper reports the banks,
// and the write carries both banks.
#include "LinkUnderTest.h"

namespace qx {
namespace {

using test::hex;

Bytes effectsReport(const test::Slots& bank1, const test::Slots& bank2)
{
    return sim::reply::effectsReport({bank1, bank2});
}

class EffectsCycle : public test::LinkUnderTest {
protected:
    // One tick; true when it asked for the effects write.
    bool tick()
    {
        cycle.tick();
        return link.takeTriggers().save;
    }
    // The writes the polling cycle would send now.
    std::vector<Bytes> writes()
    {
        endpoints->clear();
        link.sendEffectsConfiguration();
        return endpoints->messages();
    }
    const test::Slots reported1{48, -1, 0, 0, 0, 0, 0, 0};
    const test::Slots reported2{1, 2, 3, 4, 5, 6, 7, 8};
    QX2EffectsTick cycle{bank1, bank2, [this] { link.requestEffectsWrite(); }};
};

TEST_F(EffectsCycle, EditIsRequestedEveryTickFromTheFirstReportUntilTheLooperReportsIt)
{
    bank2->effects[3].setEffectNum(2103);
    EXPECT_FALSE(tick()) << "nothing to compare with before the first report";
    receive(effectsReport(reported1, reported2));
    EXPECT_EQ(slotValues(bank1->effects), reported1);
    EXPECT_EQ(slotValues(bank2->effects), reported2);
    EXPECT_EQ(link.effectsBank(2), reported2);
    EXPECT_FALSE(tick());

    bank1->effects[0].setEffectNum(99);
    EXPECT_TRUE(tick());
    bank1->effects[0].setEffectNum(48);  // set back: nothing left to write
    EXPECT_FALSE(tick());

    bank2->effects[7].setEffectNum(2103);  // "QX2 1/2 Speed"
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(tick()) << "tick " << i;
    EXPECT_EQ(writes(), std::vector<Bytes>{hex("F0 00 02 33 0A 08  00 30 7F 7F 00 00 00 00 00 00 00 00 00 00 00 00"
                                               "  00 01 00 02 00 03 00 04 00 05 00 06 00 07 10 37 F7")});
    EXPECT_TRUE(tick()) << "the write alone does not settle the bank";
    receive(effectsReport(reported1, {1, 2, 3, 4, 5, 6, 7, 2103}));
    EXPECT_FALSE(tick());

    link.attachEffectsModels(bank1, nullptr);
    EXPECT_TRUE(writes().empty()) << "no write without both banks";
}

TEST_F(EffectsCycle, ReportsGoToTheTransferTooAndShortOnesAreDroppedWhole)
{
    // Two reports decoded before the UI thread runs: the second shows.
    const Bytes first = effectsReport(reported1, reported2);
    const Bytes second = effectsReport(reported2, reported1);
    link.handleSysEx(first);
    link.handleSysEx(second);
    ui.drain();
    EXPECT_EQ(slotValues(bank1->effects), reported2);
    EXPECT_EQ(slotValues(bank2->effects), reported1);

    Bytes cut = first;
    cut.erase(cut.end() - 2);  // 38 bytes
    receive(cut);
    EXPECT_EQ(slotValues(bank1->effects), reported2);
    for (const Bytes& handed : {first, second, Bytes{}}) EXPECT_EQ(responses.dequeue(), handed);
}

}  // namespace
}  // namespace qx
