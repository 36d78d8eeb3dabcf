// qxctl settings, button and effects against the demo looper (the simulated
// looper inside qxctl's own process: no MIDI ports, no network). Each run
// starts a fresh looper, so a change is checked in the run that makes it: the
// command reads the looper back before it reports success.
#include <gtest/gtest.h>

#include "config/FunctionTables.h"
#include "sim/ButtonMappings.h"
#include "support/ChildProcess.h"

namespace qx {
namespace {

// Runs "qxctl ARGS --demo" to its end: its output (standard error included),
// then "exit STATUS".
std::string qxctl(std::vector<std::string> args)
{
    args.insert(args.begin(), {"/bin/sh", "-c", "\"$0\" \"$@\" --demo 2>&1; echo \"exit $?\"", QX_CTL_PATH});
    test::ChildProcess run(args);
    std::string output;
    std::string line;
    for (int i = 0; i < 1000 && run.readLine(line, std::chrono::seconds(30)); ++i) output += line + "\n";
    return output;
}

// "Rec/Dub (0)", "(none)": how the commands show a function.
std::string shown(std::int64_t id)
{
    return id == -1 ? "(none)" : findFunction(id)->name + " (" + std::to_string(id) + ")";
}

// The eight "slot N  FUNCTION" lines of a button.
std::string slotLines(const sim::FunctionSlots& slots)
{
    std::string lines;
    for (std::size_t i = 0; i < 8; ++i) lines += "slot " + std::to_string(i) + "  " + shown(slots[i]) + "\n";
    return lines;
}

// The eight rows of the effects table: slot, bank 1, bank 2.
std::string effectsRows(const sim::EffectBanks& banks)
{
    std::string rows;
    char row[128];
    for (std::size_t i = 0; i < 8; ++i) {
        std::snprintf(row, sizeof row, "%-5zu %-30s %s\n", i, shown(banks.bank1[i]).c_str(),
                      shown(banks.bank2[i]).c_str());
        rows += row;
    }
    return rows;
}

TEST(QxctlSettings, ShowsTheSixSettingsByNameAndSetsThemByOptionNameOrNumber)
{
    // The demo looper starts with brightness Medium and noise gate 10.
    const std::string shownSettings = qxctl({"settings"});
    EXPECT_TRUE(shownSettings.ends_with("brightness  QX2 Display Brightness  Medium\n"
                                        "display     QX2 Display Mode        Original\n"
                                        "in-clock    MIDI In Clock Mode      Allow\n"
                                        "out-clock   MIDI Out Clock Mode     Off\n"
                                        "channel     MIDI Channel            1\n"
                                        "noise-gate  Noise Gate Level        10\n"
                                        "settings: read from the looper\nexit 0\n"))
        << shownSettings;
    const std::pair<std::vector<std::string>, std::string> confirmed[] = {
        {{"brightness", "low"}, "settings: brightness set to Low"},
        {{"display", "New"}, "settings: display set to New"},
        {{"in-clock", "1"}, "settings: in-clock set to Ignore"},
        {{"out-clock", "On"}, "settings: out-clock set to On"},
        {{"channel", "16"}, "settings: channel set to 16"},
        {{"noise-gate", "12"}, "settings: noise-gate set to 12"},
        {{"brightness", "Medium"}, "settings: brightness is already Medium"},
    };
    for (const auto& [setting, confirmation] : confirmed) {
        const std::string run = qxctl({"settings", "set", setting[0], setting[1]});
        EXPECT_TRUE(run.ends_with(confirmation + "\nexit 0\n")) << run;
    }
}

TEST(QxctlButton, ShowsAndWritesTheSlotsOfOneButtonAsTheLooperReadsThemBack)
{
    std::string run = qxctl({"button", "CC", "5"});
    EXPECT_TRUE(run.ends_with(slotLines(sim::initialMapping(133)) + "button: CC 5 read from the looper\nexit 0\n"))
        << run;

    sim::FunctionSlots written = sim::initialMapping(292);
    written[2] = 16;
    run = qxctl({"button", "Note", "36", "set", "2", "Stop"});
    EXPECT_TRUE(run.ends_with(slotLines(written) + "button: Note 36 slot 2 set to Stop (16)\nexit 0\n")) << run;
    // A name of several words, given as several arguments, and a number.
    run = qxctl({"button", "pgmchange", "0", "set", "7", "Select", "Group(10)"});
    EXPECT_TRUE(run.ends_with("button: PgmChange 0 slot 7 set to Select Group(10) (45)\nexit 0\n")) << run;
    run = qxctl({"button", "256", "127", "set", "0", "-1"});
    EXPECT_TRUE(run.ends_with("button: Note 127 slot 0 set to (none)\nexit 0\n")) << run;
}

TEST(QxctlEffects, ShowsBothBanksAndWritesOneSlotUntilTheLooperReportsIt)
{
    sim::EffectBanks banks = sim::EffectBanks::initial();
    std::string run = qxctl({"effects"});
    EXPECT_TRUE(run.ends_with(effectsRows(banks) + "effects: read from the looper\nexit 0\n")) << run;

    banks.bank2[7] = banks.bank2[7] == 2102 ? 2101 : 2102;
    run = qxctl({"effects", "set", "2", "7", std::to_string(banks.bank2[7])});
    const std::string confirmation = "effects: bank 2 slot 7 set to " + shown(banks.bank2[7]) + "\nexit 0\n";
    EXPECT_TRUE(run.ends_with(effectsRows(banks) + confirmation)) << run;
}

TEST(QxctlRefusals, ValuesButtonsAndFunctionsTheTabsDoNotOfferChangeNothing)
{
    const std::vector<std::string> refused[] = {
        {"settings", "set", "channel", "17"},       {"settings", "set", "brightness", "1"},
        {"settings", "set", "volume", "3"},         {"settings", "show"},
        {"button", "CC", "128"},                    // no such number
        {"button", "Foot", "1"},                    // no such kind
        {"button", "CC", "1", "set", "8", "Stop"},  // slots are 0 to 7
        {"button", "CC", "1", "set", "0", "80"},    // no function has 80
        {"button", "CC", "1", "set", "0", "stop"},  // names are exact
        {"effects", "set", "3", "0", "Stop"},       // banks are 1 and 2
    };
    for (const auto& args : refused) {
        const std::string run = qxctl(args);
        EXPECT_FALSE(run.ends_with("exit 0\n")) << run;
        EXPECT_EQ(run.find("set to"), std::string::npos) << run;
    }
}

}  // namespace
}  // namespace qx
