// The settings, MIDI Button and QX2 Buttons edit cycles against the simulated
// looper on real JACK MIDI ports: what the tabs send reaches the looper's
// memory, and what the looper reports reaches the models.
#include <gtest/gtest.h>

#include "SimulatedLooperSession.h"
#include "config/SettingsTicks.h"
#include "midi/Messages.h"
#include "midi/RtMidiEndpoints.h"
#include "support/ConsoleCapture.h"
#include "support/JackServer.h"

namespace qx {
namespace {

using namespace std::chrono_literals;
using test::slotsOf;

class ConfigOverJack : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(jack.ready()) << "jackd did not start";
        ASSERT_TRUE(looper.sim.running());
        ASSERT_TRUE(looper.sim.waitFor("ready", 10s)) << "the simulated looper did not open its ports";
        looper.connect(openSystemMidiEndpoints(),
                       [](LinkHost& host) { return std::make_unique<IdleNetworkSide>(host); });
        ASSERT_TRUE(looper.pumpUntil([this] { return panel().pollTries.load() == 0; })) << "no looper found";
    }

    QXInterface& panel() { return looper.link->interface(); }

    test::JackServer jack;
    test::ConsoleCapture console;  // keeps the link's diagnostics off the test output
    test::SimulatedLooperSession looper{{QX_SIM_PATH, "--jack", "--journal"}};
};

TEST_F(ConfigOverJack, SettingsChangeReachesTheLooperAndItsSlicesFillTheModel)
{
    const MiscConfigStruct atStart = looper.looperSettings();
    ASSERT_NE(atStart, looper.settings->currentConfig) << "the looper should start away from the tab's defaults";

    panel().cmdQueue.enqueue(msg::settingsSliceRequest(msg::kSlice0));
    panel().cmdQueue.enqueue(msg::settingsSliceRequest(msg::kSlice72));
    ASSERT_TRUE(looper.pumpUntil([&] {
        return looper.settings->oldConfig == atStart && panel().cmdQueue.count() == 0 &&
               looper.looperReceived("rx midi F0 00 02 33 14 48 F7");
    })) << "the slice reports did not fill the model";
    EXPECT_EQ(looper.settings->currentConfig, atStart);

    MiscConfigTick tab(looper.settings);
    tab.tick();  // the looper's own values are no edit

    MiscConfigStruct wanted = atStart;
    wanted.qx2Brightness = atStart.qx2Brightness == 7 ? 0 : 7;
    wanted.midiOutClockMode = 1 - atStart.midiOutClockMode;
    wanted.noiseGateLevel = atStart.noiseGateLevel == 12 ? 9 : 12;
    looper.settings->currentConfig = wanted;
    tab.tick();
    tab.tick();  // settled: nothing more
    ASSERT_TRUE(looper.waitForQueuedCommands());

    std::vector<std::string> writes;
    for (const auto& line : looper.received)
        for (const char* type : {"05", "06", "07", "08", "0C"})
            if (line.rfind(std::string("rx midi F0 00 02 33 ") + type + " ", 0) == 0) writes.push_back(line);
    char brightness[64], gate[64];
    std::snprintf(brightness, sizeof brightness, "rx midi F0 00 02 33 07 %02X F7", unsigned(wanted.qx2Brightness));
    std::snprintf(gate, sizeof gate, "rx midi F0 00 02 33 06 %02X F7", unsigned(wanted.noiseGateLevel));
    const std::string outClock = wanted.midiOutClockMode == 1 ? "rx midi F0 00 02 33 08 02 F7"
                                                              : "rx midi F0 00 02 33 08 01 F7";
    EXPECT_EQ(writes, (std::vector<std::string>{brightness, outClock, gate})) << "one write each, in field order";
    EXPECT_EQ(looper.looperSettings(), wanted);

    // Read back: both slices again, and the model holds what the looper holds.
    looper.settings->currentConfig = looper.settings->oldConfig = defaultMiscConfig();
    panel().cmdQueue.enqueue(msg::settingsSliceRequest(msg::kSlice0));
    panel().cmdQueue.enqueue(msg::settingsSliceRequest(msg::kSlice72));
    ASSERT_TRUE(looper.pumpUntil([&] { return looper.settings->oldConfig == wanted; }));
    EXPECT_EQ(looper.settings->currentConfig, wanted);
}

TEST_F(ConfigOverJack, MappingEditIsWrittenToTheLooper)
{
    MIDIButtonTick tab(looper.buttons);
    tab.midiButtonType = 128;  // CC 5
    tab.midiButtonNum = 5;
    tab.tick();
    ASSERT_TRUE(looper.pumpUntil([&] { return looper.buttons->oldvalues.size() == 8; })) << "no mapping report";
    EXPECT_TRUE(looper.looperReceived("rx midi F0 00 02 33 0E 01 05 01 F7"));
    const FunctionValues before = looper.looperMapping(133);
    const FunctionValues neighbour = looper.looperMapping(134);
    ASSERT_EQ(before.size(), 8u);
    EXPECT_EQ(slotsOf(looper.buttons->effects), before);

    FunctionValues wanted = before;
    wanted[2] = before[2] == 16 ? 81 : 16;
    wanted[7] = before[7] == 2103 ? -1 : 2103;
    looper.buttons->effects[2].setEffectNum(wanted[2]);
    looper.buttons->effects[7].setEffectNum(wanted[7]);
    tab.tick();
    tab.tick();
    ASSERT_TRUE(looper.waitForQueuedCommands());
    EXPECT_EQ(looper.countReceived("rx midi F0 00 02 33 10"), 1u) << "one write for one edit";
    EXPECT_EQ(looper.looperMapping(133), wanted);
    EXPECT_EQ(looper.looperMapping(134), neighbour) << "other buttons untouched";
}

TEST_F(ConfigOverJack, PressedButtonSelectsItselfAndItsMappingArrives)
{
    MIDIButtonTick tab(looper.buttons);
    tab.tick();
    ASSERT_TRUE(looper.pumpUntil([&] { return looper.buttons->oldvalues.size() == 8; }));
    ASSERT_EQ(looper.buttons->currentBtn, 0);

    bool ok = false;
    looper.control("press 2 36", &ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(looper.pumpUntil([&] { return looper.buttons->receivedBtnType != -1; })) << "no button event";
    EXPECT_EQ(looper.buttons->receivedBtnType, 256);
    EXPECT_EQ(looper.buttons->receivedBtnNum, 36);

    tab.tick();
    EXPECT_EQ(tab.midiButtonType, 256);
    EXPECT_EQ(tab.midiButtonNum, 36);
    EXPECT_EQ(looper.buttons->currentBtn, 292);
    ASSERT_TRUE(looper.pumpUntil([&] { return looper.buttons->oldvalues.size() == 8; })) << "no mapping report";
    EXPECT_TRUE(looper.looperReceived("rx midi F0 00 02 33 0E 02 24 01 F7"));
    const FunctionValues mapping = looper.looperMapping(292);
    EXPECT_NE(mapping, looper.looperMapping(0)) << "the two buttons should differ for this check to mean anything";
    EXPECT_EQ(slotsOf(looper.buttons->effects), mapping);
}

TEST_F(ConfigOverJack, EffectsEditIsWrittenUntilTheLooperReportsTheSameBanks)
{
    int writeRequests = 0;
    QX2EffectsTick tab(looper.bank1, looper.bank2, [&] {
        ++writeRequests;
        panel().requestEffectsWrite();
    });
    panel().requestEffectsRead();
    ASSERT_TRUE(looper.pumpUntil(
        [&] { return looper.bank1->oldvalues.size() == 8 && looper.bank2->oldvalues.size() == 8; }))
        << "no effects report";
    const FunctionValues bank1 = looper.looperBank(1);
    const FunctionValues bank2 = looper.looperBank(2);
    EXPECT_EQ(slotsOf(looper.bank1->effects), bank1);
    EXPECT_EQ(slotsOf(looper.bank2->effects), bank2);
    tab.tick();
    EXPECT_EQ(writeRequests, 0);

    FunctionValues wanted2 = bank2;
    wanted2[7] = bank2[7] == 2103 ? 2102 : 2103;
    looper.bank2->effects[7].setEffectNum(wanted2[7]);
    msg::Bank b1{}, b2{};
    std::copy(bank1.begin(), bank1.end(), b1.begin());
    std::copy(wanted2.begin(), wanted2.end(), b2.begin());
    std::string writeLine = "rx midi";
    for (auto b : msg::effectsWrite(b1, b2)) {
        char item[4];
        std::snprintf(item, sizeof item, " %02X", b);
        writeLine += item;
    }

    // Without a report the write is asked for again at every tick.
    for (std::size_t round = 1; round <= 3; ++round) {
        tab.tick();
        ASSERT_TRUE(looper.pumpUntil([&] { return looper.countReceived("rx midi F0 00 02 33 0A") == round; }));
    }
    EXPECT_EQ(writeRequests, 3);
    for (const auto& line : looper.receivedStarting("rx midi F0 00 02 33 0A")) EXPECT_EQ(line, writeLine);
    EXPECT_EQ(looper.looperBank(2), wanted2);
    EXPECT_EQ(looper.looperBank(1), bank1);

    panel().requestEffectsRead();
    ASSERT_TRUE(looper.pumpUntil([&] { return looper.bank2->oldvalues == wanted2; })) << "no report of the new banks";
    tab.tick();
    EXPECT_EQ(writeRequests, 3) << "the looper reported the edit: nothing more to write";
}

}  // namespace
}  // namespace qx
