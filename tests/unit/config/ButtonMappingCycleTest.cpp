// The "MIDI Button" edit cycle, stepped tick by tick against the link
// controller: requests, reports, writes and button events.
#include "LinkUnderTest.h"

namespace qx {
namespace {

using test::hex;
using test::Slots;
using Sent = std::vector<Bytes>;

// A one-button mapping report.
Bytes report(int code, const Slots& slots) { return sim::reply::buttonReport(code, std::array<Slots, 1>{slots}); }

class ButtonMappingCycle : public test::LinkUnderTest {
protected:
    Sent tick()
    {
        cycle.tick();
        return queued();
    }
    // Shows program change 0 with the report below.
    void showButtonZero()
    {
        ASSERT_EQ(tick(), Sent{hex("F0 00 02 33 0E 00 00 01 F7")});
        EXPECT_TRUE(tick().empty()) << "no answer yet: no repeat";
        receive(report(0, reported));
        EXPECT_EQ(slotValues(buttons->effects), reported);
    }
    const Slots reported{7, -1, 1, 1, 1, 1, 1, 1};
    MIDIButtonTick cycle{buttons};
};

TEST_F(ButtonMappingCycle, NothingIsWrittenBeforeTheReportAndTheButtonCodeIsKindPlusNumber)
{
    EXPECT_EQ(tick(), Sent{hex("F0 00 02 33 0E 00 00 01 F7")});
    buttons->effects[0].setEffectNum(16);
    EXPECT_TRUE(tick().empty()) << "no answer yet: no repeat, and no write";
    cycle.midiButtonType = 256;
    cycle.midiButtonNum = 127;
    EXPECT_EQ(tick(), Sent{hex("F0 00 02 33 0E 02 7F 01 F7")});
    EXPECT_EQ(buttons->currentBtn, 383);
}

TEST_F(ButtonMappingCycle, EditIsWrittenOnceWithAllEightSlotsAndReportsForOtherButtonsShowNothing)
{
    showButtonZero();
    buttons->effects[2].setEffectNum(16);  // "Stop"
    EXPECT_EQ(tick(), Sent{hex("F0 00 02 33 10 00 00 00 07 7F 7F 00 10 00 01 00 01 00 01 00 01 00 01 F7")});
    EXPECT_TRUE(tick().empty());

    cycle.midiButtonNum = 6;
    tick();
    receive(report(5, {9, 9, 9, 9, 9, 9, 9, 9}));
    receive(report(0, {9, 9, 9, 9, 9, 9, 9, 9}));  // late, for the old button
    // The eight-button form is for the saved-configuration transfer only.
    const Bytes block = sim::reply::buttonReport(0, std::vector<Slots>(8, {3, 3, 3, 3, 3, 3, 3, 3}));
    receive(block);
    EXPECT_EQ(responses.dequeue(), block);
    EXPECT_EQ(slotValues(buttons->effects), (Slots{7, -1, 16, 1, 1, 1, 1, 1}));
    EXPECT_TRUE(buttons->oldvalues.empty());
    EXPECT_TRUE(tick().empty());
}

TEST_F(ButtonMappingCycle, ButtonEventMovesTheSelectionAtTheNextTickAfterThePendingWrite)
{
    showButtonZero();
    buttons->effects[7].setEffectNum(2103);
    receive(sim::reply::buttonEvent(2, 36));  // Note 36 pressed
    EXPECT_TRUE(queued().empty()) << "nothing happens before the tick";
    EXPECT_EQ(tick(), (Sent{hex("F0 00 02 33 10 00 00 00 07 7F 7F 00 01 00 01 00 01 00 01 00 01 10 37 F7"),
                            hex("F0 00 02 33 0E 02 24 01 F7")}));
    EXPECT_EQ(cycle.midiButtonType, 256) << "the pickers show the pressed button";
    EXPECT_EQ(cycle.midiButtonNum, 36);
    EXPECT_TRUE(tick().empty());
    receive(sim::reply::buttonEvent(5, 36));  // no kind has code 5
    EXPECT_TRUE(tick().empty());
    EXPECT_EQ(buttons->currentBtn, 292);
}

}  // namespace
}  // namespace qx
