#include "config/FunctionTables.h"

namespace qx {

// The rows are filled in by the tables' owner; lookups work on whatever is here.
const std::vector<QX2Function>& qx2Functions()
{
    static const std::vector<QX2Function> table = {{" ", -1}};
    return table;
}

const std::vector<StringWithValue>& midiButtonTypes()
{
    static const std::vector<StringWithValue> table = {{"PgmChange", 0}, {"CC", 128}, {"Note", 256}};
    return table;
}

const std::vector<StringWithValue>& brightnessOptions()
{
    static const std::vector<StringWithValue> table = {{"High", 0}, {"Medium", 3}, {"Low", 7}};
    return table;
}

const std::vector<StringWithValue>& displayModeOptions()
{
    static const std::vector<StringWithValue> table = {{"Original", 0}, {"New", 1}};
    return table;
}

const std::vector<StringWithValue>& midiInClockOptions()
{
    static const std::vector<StringWithValue> table = {{"Allow", 0}, {"Ignore", 1}};
    return table;
}

const std::vector<StringWithValue>& midiOutClockOptions()
{
    static const std::vector<StringWithValue> table = {{"Off", 0}, {"On", 1}};
    return table;
}

const std::vector<StringWithValue>& noiseGateOptions()
{
    static const std::vector<StringWithValue> table = {{"Off", 0}, {"9", 9}, {"10", 10}, {"11", 11}, {"12", 12}};
    return table;
}

std::optional<QX2Function> findFunction(std::int64_t id)
{
    for (const auto& row : qx2Functions())
        if (row.id == id) return row;
    return std::nullopt;
}

std::optional<StringWithValue> findOption(const std::vector<StringWithValue>& table, std::int64_t id)
{
    for (const auto& row : table)
        if (row.id == id) return row;
    return std::nullopt;
}

}  // namespace qx
