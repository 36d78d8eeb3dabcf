// The user's edits through the session's 0.5 s cycle, stepped tick by tick:
// what each tick queues for the looper, and how the looper's reports settle
// the settings, the MIDI button shown and the QX2 banks.
#include <gtest/gtest.h>

#include "sim/LooperReplies.h"
#include "support/ConsoleCapture.h"
#include "support/Hex.h"
#include "support/SessionUnderTest.h"

namespace qx {
namespace {

using test::hex;
using Sent = std::vector<Bytes>;
using Slots = sim::FunctionSlots;

class EditCycleTest : public ::testing::Test {
protected:
    Sent tick() { return edits.tick(), panel.queued(); }
    // A slice report of 133 bytes that hold fill but for the little-endian
    // words given at their offsets.
    void receiveSlice(std::uint8_t slice, std::initializer_list<std::pair<std::size_t, std::uint16_t>> words,
                      std::uint8_t fill = 0)
    {
        sim::SliceData data;
        data.fill(fill);
        for (auto [offset, word] : words) data[offset] = std::uint8_t(word), data[offset + 1] = std::uint8_t(word >> 8);
        panel.receive(sim::reply::settingsSlice(slice, data));
    }
    Bytes oneButton(int code, const Slots& slots) { return sim::reply::buttonReport(code, std::span(&slots, 1)); }

    test::SessionUnderTest panel;
    EditCycle& edits = panel.session.edits();
    SessionModels& models = panel.models();
    MiscConfigModel& settings = *models.settings;
    MIDIButtonConfig& button = *models.button;
    test::ConsoleCapture console;
};

TEST_F(EditCycleTest, SettingPicksAreOneWriteEachAtTheNextTickInFieldOrder)
{
    tick();  // the button tab's first request
    EXPECT_TRUE(tick().empty()) << "the start values are settled";
    using S = MiscConfigStruct;
    for (auto [field, value] : {std::pair{&S::qx2Brightness, 3}, {&S::qx2DisplayType, 1}, {&S::midiInClockMode, 1},
                                {&S::midiOutClockMode, 1}, {&S::midiChannel, 16}, {&S::noiseGateLevel, 9}})
        edits.changeSetting(field, value);
    EXPECT_EQ(tick(), (Sent{hex("F0 00 02 33 07 03 F7"), hex("F0 00 02 33 0C 01 F7"), hex("F0 00 02 33 08 03 F7"),
                            hex("F0 00 02 33 08 02 F7"), hex("F0 00 02 33 05 10 F7"), hex("F0 00 02 33 06 09 F7")}))
        << "in clock Ignore is 03, out clock On is 02";
    EXPECT_TRUE(tick().empty());
    edits.changeSetting(&S::midiInClockMode, 0);
    edits.changeSetting(&S::midiOutClockMode, 0);
    EXPECT_EQ(tick(), (Sent{hex("F0 00 02 33 08 04 F7"), hex("F0 00 02 33 08 01 F7")}));  // Allow, Off
    edits.changeSetting(&S::midiOutClockMode, 5);
    EXPECT_EQ(tick(), Sent{hex("F0 00 02 33 08 00 F7")}) << "a mode with no code of its own";

    // Values that cannot travel are never sent but count as settled.
    edits.changeSetting(&S::midiChannel, -1);
    edits.changeSetting(&S::noiseGateLevel, 10);
    EXPECT_EQ(tick(), Sent{hex("F0 00 02 33 06 0A F7")});
    edits.changeSetting(&S::qx2Brightness, 200);  // more than one data byte holds
    edits.changeSetting(&S::midiChannel, 128);
    EXPECT_TRUE(tick().empty());
    EXPECT_TRUE(tick().empty());
    EXPECT_EQ(console.lines(), std::vector<std::string>{"\"MIDI channel error \" -1"});
}

TEST_F(EditCycleTest, SliceReportsFillBothRecordsAndOverwritePendingPicks)
{
    edits.changeSetting(&MiscConfigStruct::qx2Brightness, 3);  // a pick the report overwrites
    // Display, in clock, brightness, noise gate (top bit carried by the group),
    // channel (high byte counts); the out clock lives in slice 72, not here;
    // every other word is noise.
    receiveSlice(0, {{52, 1}, {54, 1}, {56, 7}, {86, 0xC8}, {94, 0x0103}, {98, 1}}, 0x55);
    MiscConfigStruct expected{.qx2Brightness = 7, .qx2DisplayType = 1, .midiInClockMode = 1,
                              .midiOutClockMode = 0, .midiChannel = 0x0103, .noiseGateLevel = 200};
    EXPECT_EQ(std::tie(settings.currentConfig, settings.oldConfig), std::tie(expected, expected));
    tick();
    EXPECT_EQ(panel.queued().size(), 0u) << "a report is no edit";

    receiveSlice(72, {{56, 3}, {98, 1}});  // slice 0's offsets mean nothing here
    expected.midiOutClockMode = 1;
    EXPECT_EQ(settings.currentConfig, expected);
    edits.changeSetting(&MiscConfigStruct::noiseGateLevel, 9);
    receiveSlice(5, {{56, 3}});  // no setting, but it settles the model
    EXPECT_EQ(std::tie(settings.currentConfig, settings.oldConfig), std::tie(expected, expected));
    EXPECT_TRUE(settings.slicesTaken(0) == 1 && settings.slicesTaken(72) == 1) << "each report counted once";
}

TEST_F(EditCycleTest, ButtonShownIsAskedForThenAnEditIsWrittenOnceAndOtherButtonsReportsShowNothing)
{
    EXPECT_EQ(tick(), Sent{hex("F0 00 02 33 0E 00 00 01 F7")});
    edits.changeButtonSlot(0, 16);
    EXPECT_TRUE(tick().empty()) << "no answer yet: no repeat, and no write";
    edits.chooseButton(256, 127);
    EXPECT_EQ(tick(), Sent{hex("F0 00 02 33 0E 02 7F 01 F7")});
    EXPECT_EQ(button.currentBtn, 383) << "the code is kind plus number";

    edits.chooseButton(0, 0);
    tick();
    const Slots reported{7, -1, 1, 1, 1, 1, 1, 1};
    panel.receive(oneButton(0, reported));
    EXPECT_EQ(slotValues(button.effects), reported);
    edits.changeButtonSlot(2, 16);  // "Stop"
    EXPECT_EQ(tick(), Sent{hex("F0 00 02 33 10 00 00 00 07 7F 7F 00 10 00 01 00 01 00 01 00 01 00 01 F7")});
    EXPECT_TRUE(tick().empty());

    edits.chooseButton(0, 6);
    tick();
    panel.receive(oneButton(5, {9, 9, 9, 9, 9, 9, 9, 9}));
    panel.receive(oneButton(0, {9, 9, 9, 9, 9, 9, 9, 9}));  // late, for the old button
    EXPECT_EQ(slotValues(button.effects), (Slots{7, -1, 16, 1, 1, 1, 1, 1}));
    EXPECT_TRUE(button.oldvalues.empty());
    EXPECT_TRUE(tick().empty());
}

TEST_F(EditCycleTest, ButtonEventMovesTheSelectionAtTheNextTickAfterThePendingWrite)
{
    tick();
    panel.receive(oneButton(0, {7, -1, 1, 1, 1, 1, 1, 1}));
    edits.changeButtonSlot(7, 2103);
    panel.receive(sim::reply::buttonEvent(2, 36));  // Note 36 pressed
    EXPECT_TRUE(panel.queued().empty()) << "nothing happens before the tick";
    EXPECT_EQ(tick(), (Sent{hex("F0 00 02 33 10 00 00 00 07 7F 7F 00 01 00 01 00 01 00 01 00 01 10 37 F7"),
                            hex("F0 00 02 33 0E 02 24 01 F7")}));
    EXPECT_EQ(edits.buttonKind(), 256) << "the pickers show the pressed button";
    EXPECT_EQ(edits.buttonNumber(), 36);
    EXPECT_TRUE(tick().empty());
    panel.receive(sim::reply::buttonEvent(5, 36));  // no kind has code 5
    EXPECT_TRUE(tick().empty());
    EXPECT_EQ(button.currentBtn, 292);
}

// An edit is written with both banks, then asked back on the next tick, and
// so on until a report matches; three unconfirmed writes and it gives up,
// keeping the picks, until the next pick.
TEST_F(EditCycleTest, EffectsEditIsWrittenThenAskedBackUntilTheLooperConfirmsItOrGivesUpAfterThree)
{
    EffectsRequests& requests = panel.session.linkHost().effects;
    auto tickAsks = [&] {
        edits.tick();
        const auto taken = requests.take();
        return std::string(taken.write ? "write" : "") + (taken.read ? "read" : "");
    };
    const Slots reported1{48, -1, 0, 0, 0, 0, 0, 0}, reported2{1, 2, 3, 4, 5, 6, 7, 8};
    edits.changeEffect(2, 3, 2103);
    EXPECT_EQ(tickAsks(), "") << "nothing to compare with before the first report";
    // Two reports decoded before the UI thread runs: the second shows.
    panel.midi->deliver(sim::reply::effectsReport({reported2, reported1}));
    panel.receive(sim::reply::effectsReport({reported1, reported2}));
    EXPECT_EQ(slotValues(models.effects1->effects), reported1);
    EXPECT_EQ(slotValues(models.effects2->effects), reported2);
    EXPECT_EQ(tickAsks(), "");

    edits.changeEffect(1, 0, 99);
    EXPECT_EQ(tickAsks(), "write");
    edits.changeEffect(1, 0, 48);  // set back: nothing left to write
    EXPECT_EQ(tickAsks(), "");

    edits.changeEffect(2, 7, 2103);  // "QX2 1/2 Speed"
    EXPECT_EQ(tickAsks(), "write");
    EXPECT_EQ(requests.writeMessage(), hex("F0 00 02 33 0A 08  00 30 7F 7F 00 00 00 00 00 00 00 00 00 00 00 00"
                                           "  00 01 00 02 00 03 00 04 00 05 00 06 00 07 10 37 F7"));
    EXPECT_EQ(tickAsks(), "read");
    panel.receive(sim::reply::effectsReport({reported1, reported2}));  // not taken: the pick stays
    EXPECT_EQ(models.effects2->effects[7].effectNum(), 2103);
    EXPECT_EQ(tickAsks(), "write");
    panel.receive(sim::reply::effectsReport({reported1, {1, 2, 3, 4, 5, 6, 7, 2103}}));
    EXPECT_EQ(tickAsks(), "") << "confirmed";

    edits.changeEffect(1, 1, 16);
    for (const char* asked : {"write", "read", "write", "read", "write", "read", "", ""})
        EXPECT_EQ(tickAsks(), asked);
    panel.ui.drain();
    EXPECT_EQ(models.outcome->last().text, "The looper did not confirm the QX2 banks");
    EXPECT_EQ(models.outcome->ended(), 1u) << "said once";
    EXPECT_EQ(models.effects1->effects[1].effectNum(), 16) << "the pick stays on screen";
    edits.changeEffect(1, 1, 17);
    EXPECT_EQ(tickAsks(), "write") << "a new pick starts over";
}

}  // namespace
}  // namespace qx
