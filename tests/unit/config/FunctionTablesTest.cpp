// The fixed tables: what the pickers list and what the looper's numbers mean.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "config/FunctionTables.h"

namespace qx {
namespace {

std::int64_t idOf(const std::string& name)
{
    const auto& table = qx2Functions();
    const auto row = std::find_if(table.begin(), table.end(), [&](const auto& r) { return r.name == name; });
    return row == table.end() ? -2 : row->id;
}

std::ptrdiff_t rowOf(const std::string& name)
{
    const auto& table = qx2Functions();
    return std::find_if(table.begin(), table.end(), [&](const auto& r) { return r.name == name; }) - table.begin();
}

TEST(FunctionTable, HasOneRowPerFunctionAndABlankRowFirst)
{
    const auto& table = qx2Functions();
    ASSERT_EQ(table.size(), 144u);
    EXPECT_EQ(table.front().name, " ");
    EXPECT_EQ(table.front().id, -1);
    EXPECT_EQ(table.back().name, "QX2 1/2 Speed");
    EXPECT_EQ(table.back().id, 2103);
}

TEST(FunctionTable, KeepsTheLooperLabelsVerbatim)
{
    EXPECT_EQ(qx2Functions()[105].name, "Shrink to 50%%");
    EXPECT_EQ(qx2Functions()[106].name, "Stretch to 200%%");
    EXPECT_EQ(qx2Functions()[38].name, "Select Group(10)");
    EXPECT_EQ(qx2Functions()[37].name, "Select Group (9)");
    EXPECT_EQ(idOf("Feedback 100%"), 30);
    EXPECT_EQ(idOf("Select Group(10)"), 45);
}

TEST(FunctionTable, ListsInDisplayOrderNotNumericOrder)
{
    EXPECT_EQ(rowOf("Q MIDI Sync Rec"), 6);
    EXPECT_EQ(idOf("Q MIDI Sync Rec"), 124);
    EXPECT_EQ(rowOf("Redo"), rowOf("Undo") + 1);
    EXPECT_EQ(idOf("Undo"), 81);
    EXPECT_EQ(idOf("Redo"), 126);
    EXPECT_EQ(idOf("Stop"), 16);
    EXPECT_EQ(idOf("Rec/Dub"), 0);
    EXPECT_EQ(idOf("QX2 switch"), 131);
    EXPECT_EQ(rowOf("QX2 switch"), 129);
}

TEST(FunctionTable, IdsAreUniqueAndFitASevenBitPair)
{
    std::set<std::int64_t> seen;
    for (const auto& row : qx2Functions()) {
        EXPECT_TRUE(seen.insert(row.id).second) << "duplicate id " << row.id;
        EXPECT_GE(row.id, -1);
        EXPECT_LT(row.id, 16383) << row.name;  // 0x7F 0x7F is reserved for -1
    }
}

TEST(FunctionTable, LooperFunctionsUseZeroTo131ExceptThreeGaps)
{
    std::set<std::int64_t> ids;
    for (std::size_t row = 1; row <= 129; ++row) ids.insert(qx2Functions()[row].id);
    std::set<std::int64_t> expected;
    for (std::int64_t id = 0; id <= 131; ++id)
        if (id != 80 && id != 127 && id != 128) expected.insert(id);
    EXPECT_EQ(ids, expected);
}

TEST(FunctionTable, QX2RowsCarryTheirNumberInTheirName)
{
    // "QX2 Q Replace 1/N" is 2000 + N; the four rows after them are 2100..2103.
    const auto& table = qx2Functions();
    const std::string prefix = "QX2 Q Replace 1/";
    std::size_t row = 130;
    for (; row < table.size() && table[row].name.starts_with(prefix); ++row)
        EXPECT_EQ(table[row].id, 2000 + std::stoll(table[row].name.substr(prefix.size()))) << table[row].name;
    EXPECT_EQ(row, 140u);
    for (std::int64_t id = 2100; row < table.size(); ++row, ++id) {
        EXPECT_TRUE(table[row].name.starts_with("QX2 ")) << table[row].name;
        EXPECT_EQ(table[row].id, id);
    }
    EXPECT_EQ(idOf("QX2 Q Replace 1/24"), 2024);
}

TEST(FunctionTable, LookupFindsOnlyNumbersThatHaveARow)
{
    for (std::int64_t missing : {80, 127, 128, 2000, 2104, 16383, -2})
        EXPECT_FALSE(findFunction(missing).has_value()) << missing;
    ASSERT_TRUE(findFunction(-1).has_value());
    EXPECT_EQ(findFunction(-1)->name, " ");
    ASSERT_TRUE(findFunction(2103).has_value());
    EXPECT_EQ(findFunction(2103)->name, "QX2 1/2 Speed");
    ASSERT_TRUE(findFunction(102).has_value());
    EXPECT_EQ(findFunction(102)->name, "Shrink to 50%%");
}

std::vector<std::int64_t> ids(const std::vector<StringWithValue>& table)
{
    std::vector<std::int64_t> out;
    for (const auto& row : table) out.push_back(row.id);
    return out;
}

std::vector<std::string> names(const std::vector<StringWithValue>& table)
{
    std::vector<std::string> out;
    for (const auto& row : table) out.push_back(row.name);
    return out;
}

TEST(OptionTables, ButtonKindsAreTheCodeRangeStarts)
{
    EXPECT_EQ(ids(midiButtonTypes()), (std::vector<std::int64_t>{0, 128, 256}));
    EXPECT_EQ(names(midiButtonTypes()), (std::vector<std::string>{"PgmChange", "CC", "Note"}));
}

TEST(OptionTables, SettingsOptionsInPickerOrder)
{
    EXPECT_EQ(names(brightnessOptions()), (std::vector<std::string>{"High", "Medium", "Low"}));
    EXPECT_EQ(ids(brightnessOptions()), (std::vector<std::int64_t>{0, 3, 7}));
    EXPECT_EQ(findOption(brightnessOptions(), 3)->name, "Medium");
    EXPECT_FALSE(findOption(brightnessOptions(), 1).has_value());

    EXPECT_EQ(names(displayModeOptions()), (std::vector<std::string>{"Original", "New"}));
    EXPECT_EQ(ids(displayModeOptions()), (std::vector<std::int64_t>{0, 1}));
    EXPECT_EQ(names(midiInClockOptions()), (std::vector<std::string>{"Allow", "Ignore"}));
    EXPECT_EQ(ids(midiInClockOptions()), (std::vector<std::int64_t>{0, 1}));
    EXPECT_EQ(names(midiOutClockOptions()), (std::vector<std::string>{"Off", "On"}));
    EXPECT_EQ(ids(midiOutClockOptions()), (std::vector<std::int64_t>{0, 1}));
    EXPECT_EQ(names(noiseGateOptions()), (std::vector<std::string>{"Off", "9", "10", "11", "12"}));
    EXPECT_EQ(ids(noiseGateOptions()), (std::vector<std::int64_t>{0, 9, 10, 11, 12}));

    // A value reported by the looper that no option names shows as no choice.
    EXPECT_FALSE(findOption(midiInClockOptions(), 4).has_value());
}

}  // namespace
}  // namespace qx
