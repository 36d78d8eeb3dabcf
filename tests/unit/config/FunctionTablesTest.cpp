// The fixed tables: what the pickers list and what the looper's numbers mean.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "config/FunctionTables.h"

namespace qx {
namespace {

TEST(FunctionTable, RowsInDisplayOrderWithTheLooperLabelsVerbatimAndEveryIdOnce)
{
    const auto& table = qx2Functions();
    ASSERT_EQ(table.size(), 144u);
    const std::tuple<std::size_t, std::string, std::int64_t> rows[] = {
        {0, " ", -1}, {6, "Q MIDI Sync Rec", 124}, {7, "Rec/Dub", 0}, {17, "Stop", 16},
        {37, "Select Group (9)", 44}, {38, "Select Group(10)", 45}, {49, "Feedback 100%", 30},
        {86, "Undo", 81}, {87, "Redo", 126}, {105, "Shrink to 50%%", 102}, {106, "Stretch to 200%%", 103},
        {129, "QX2 switch", 131}, {130, "QX2 Q Replace 1/7", 2007}, {139, "QX2 Q Replace 1/64", 2064},
        {143, "QX2 1/2 Speed", 2103},
    };
    for (const auto& [row, name, id] : rows) {
        EXPECT_EQ(table[row].name, name) << "row " << row;
        EXPECT_EQ(table[row].id, id) << name;
        EXPECT_EQ(findFunction(id).value_or(QX2Function{"(not found)", id}).name, name);
    }
    // The looper's own 0..131 but three, then "QX2 Q Replace 1/N" as 2000 + N,
    // then 2100..2103.
    std::set<std::int64_t> ids, expected{-1, 2007, 2008, 2009, 2010, 2011, 2012, 2013, 2016, 2024, 2064, 2100, 2101,
                                         2102, 2103};
    for (std::int64_t id = 0; id <= 131; ++id) expected.insert(id);
    for (std::int64_t id : {80, 127, 128}) expected.erase(id);
    for (const auto& row : table) ids.insert(row.id);
    EXPECT_EQ(ids, expected) << "144 rows, 144 ids";
    for (std::int64_t missing : {80, 127, 128, 2000, 2104, 16383, -2})
        EXPECT_FALSE(findFunction(missing).has_value()) << missing;
}

TEST(OptionTables, PickerRowsInOrderAndUnnamedValuesFindNothing)
{
    const auto listed = [](const std::vector<StringWithValue>& table) {
        std::string out;  // "High=0 Medium=3 Low=7"
        for (const auto& row : table) out += (out.empty() ? "" : " ") + row.name + "=" + std::to_string(row.id);
        return out;
    };
    EXPECT_EQ(listed(midiButtonTypes()), "PgmChange=0 CC=128 Note=256");
    EXPECT_EQ(listed(brightnessOptions()), "High=0 Medium=3 Low=7");
    EXPECT_EQ(listed(displayModeOptions()), "Original=0 New=1");
    EXPECT_EQ(listed(midiInClockOptions()), "Allow=0 Ignore=1");
    EXPECT_EQ(listed(midiOutClockOptions()), "Off=0 On=1");
    EXPECT_EQ(listed(noiseGateOptions()), "Off=0 9=9 10=10 11=11 12=12");
    EXPECT_FALSE(findOption(brightnessOptions(), 1).has_value());
    EXPECT_FALSE(findOption(midiInClockOptions(), 4).has_value());
}

}  // namespace
}  // namespace qx
