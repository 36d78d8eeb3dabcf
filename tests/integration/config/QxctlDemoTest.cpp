// qxctl settings, button and effects against the demo looper (the simulated
// looper inside qxctl's own process: no MIDI ports, no network). Each run
// starts a fresh looper, so a change is checked in the run that makes it: the
// command reads the looper back before it reports success.
#include <gtest/gtest.h>

#include <algorithm>

#include "ProgramRun.h"
#include "config/FunctionTables.h"
#include "sim/ButtonMappings.h"

namespace qx {
namespace {

using namespace std::chrono_literals;

test::ProgramResult qxctl(std::vector<std::string> args)
{
    args.insert(args.begin(), QX_CTL_PATH);
    return test::runProgram(std::move(args), 30s);
}

bool hasLine(const test::ProgramResult& run, const std::string& line)
{
    const auto lines = run.lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// "Rec/Dub (0)", "(none)": how the commands show a function.
std::string shown(std::int64_t id)
{
    if (id == -1) return "(none)";
    return findFunction(id)->name + " (" + std::to_string(id) + ")";
}

TEST(QxctlSettings, ShowsTheSixSettingsByName)
{
    const auto run = qxctl({"settings", "--demo"});
    ASSERT_EQ(run.status, 0) << run.output;
    // The demo looper starts with brightness Medium and noise gate 10.
    EXPECT_TRUE(hasLine(run, "brightness  QX2 Display Brightness  Medium")) << run.output;
    EXPECT_TRUE(hasLine(run, "display     QX2 Display Mode        Original")) << run.output;
    EXPECT_TRUE(hasLine(run, "in-clock    MIDI In Clock Mode      Allow")) << run.output;
    EXPECT_TRUE(hasLine(run, "out-clock   MIDI Out Clock Mode     Off")) << run.output;
    EXPECT_TRUE(hasLine(run, "channel     MIDI Channel            1")) << run.output;
    EXPECT_TRUE(hasLine(run, "noise-gate  Noise Gate Level        10")) << run.output;
    EXPECT_EQ(run.lastLine(), "settings: read from the looper");
}

TEST(QxctlSettings, SetsByOptionNameOrNumberAndConfirms)
{
    const struct {
        std::vector<std::string> args;
        std::string confirmation;
    } cases[] = {
        {{"brightness", "low"}, "settings: brightness set to Low"},
        {{"display", "New"}, "settings: display set to New"},
        {{"in-clock", "1"}, "settings: in-clock set to Ignore"},
        {{"out-clock", "On"}, "settings: out-clock set to On"},
        {{"channel", "16"}, "settings: channel set to 16"},
        {{"noise-gate", "12"}, "settings: noise-gate set to 12"},
        {{"brightness", "Medium"}, "settings: brightness is already Medium"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"settings", "--demo", "set"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto run = qxctl(args);
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(run.lastLine(), c.confirmation) << run.output;
    }
}

TEST(QxctlSettings, RefusesValuesTheTabDoesNotOffer)
{
    for (const auto& args : std::vector<std::vector<std::string>>{{"settings", "set", "channel", "17", "--demo"},
                                                                  {"settings", "set", "brightness", "1", "--demo"},
                                                                  {"settings", "set", "volume", "3", "--demo"},
                                                                  {"settings", "show", "--demo"}}) {
        const auto run = qxctl(args);
        EXPECT_NE(run.status, 0) << run.output;
        EXPECT_EQ(run.output.find("set to"), std::string::npos) << run.output;
    }
}

TEST(QxctlButton, ShowsTheEightSlotsOfOneButton)
{
    const auto run = qxctl({"button", "CC", "5", "--demo"});
    ASSERT_EQ(run.status, 0) << run.output;
    const auto looperSlots = sim::initialMapping(133);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_TRUE(hasLine(run, "slot " + std::to_string(i) + "  " + shown(looperSlots[i]))) << run.output;
    EXPECT_EQ(run.lastLine(), "button: CC 5 read from the looper");
}

TEST(QxctlButton, WritesOneSlotByNameOrNumber)
{
    auto run = qxctl({"button", "Note", "36", "set", "2", "Stop", "--demo"});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(hasLine(run, "slot 2  Stop (16)")) << run.output;
    EXPECT_TRUE(hasLine(run, "slot 0  " + shown(sim::initialMapping(292)[0]))) << "other slots kept";
    EXPECT_EQ(run.lastLine(), "button: Note 36 slot 2 set to Stop (16)");

    // A name of several words, given as several arguments, and a number.
    run = qxctl({"button", "pgmchange", "0", "set", "7", "Select", "Group(10)", "--demo"});
    EXPECT_EQ(run.lastLine(), "button: PgmChange 0 slot 7 set to Select Group(10) (45)") << run.output;
    run = qxctl({"button", "256", "127", "set", "0", "-1", "--demo"});
    EXPECT_EQ(run.lastLine(), "button: Note 127 slot 0 set to (none)") << run.output;
}

TEST(QxctlButton, RefusesWhatNoButtonOrFunctionIs)
{
    const std::vector<std::vector<std::string>> refused = {
        {"button", "CC", "128", "--demo"},                // no such number
        {"button", "Foot", "1", "--demo"},                // no such kind
        {"button", "CC", "1", "set", "8", "Stop", "--demo"},  // slots are 0 to 7
        {"button", "CC", "1", "set", "0", "80", "--demo"},    // no function has 80
        {"button", "CC", "1", "set", "0", "stop", "--demo"},  // names are exact
    };
    for (const auto& args : refused) {
        const auto run = qxctl(args);
        EXPECT_NE(run.status, 0) << run.output;
    }
}

TEST(QxctlEffects, ShowsBothBanks)
{
    const auto run = qxctl({"effects", "--demo"});
    ASSERT_EQ(run.status, 0) << run.output;
    const auto banks = sim::EffectBanks::initial();
    char row[128];
    for (std::size_t i = 0; i < 8; ++i) {
        std::snprintf(row, sizeof row, "%-5zu %-30s %s", i, shown(banks.bank1[i]).c_str(),
                      shown(banks.bank2[i]).c_str());
        EXPECT_TRUE(hasLine(run, row)) << row << "\n" << run.output;
    }
    EXPECT_EQ(run.lastLine(), "effects: read from the looper");
}

TEST(QxctlEffects, WritesOneSlotUntilTheLooperReportsIt)
{
    const auto banks = sim::EffectBanks::initial();
    const std::int64_t wanted = banks.bank2[7] == 2102 ? 2101 : 2102;
    const auto run = qxctl({"effects", "set", "2", "7", std::to_string(wanted), "--demo"});
    ASSERT_EQ(run.status, 0) << run.output;
    char row[128];
    std::snprintf(row, sizeof row, "%-5d %-30s %s", 7, shown(banks.bank1[7]).c_str(), shown(wanted).c_str());
    EXPECT_TRUE(hasLine(run, row)) << run.output;
    EXPECT_EQ(run.lastLine(), "effects: bank 2 slot 7 set to " + shown(wanted));

    const auto refused = qxctl({"effects", "set", "3", "0", "Stop", "--demo"});
    EXPECT_NE(refused.status, 0) << refused.output;
}

}  // namespace
}  // namespace qx
