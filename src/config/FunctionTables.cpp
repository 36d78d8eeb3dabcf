#include "config/FunctionTables.h"

namespace qx {

// Display order, not numeric order. The names are the looper's own labels and
// are shown verbatim: "Shrink to 50%%" really carries two percent signs, and
// "Select Group(10)" really has no space.
const std::vector<QX2Function>& qx2Functions()
{
    static const std::vector<QX2Function> table = {
        {" ", -1},
        {"Switch-Record", 100},
        {"SwitchPlay+CKSR", 101},
        {"SwitchPlay", 104},
        {"Sync Rec/Dub", 47},
        {"MIDI Sync Rec", 27},
        {"Q MIDI Sync Rec", 124},
        {"Rec/Dub", 0},
        {"Play/Stop Now", 60},
        {"Play/Stop", 1},
        {"Replay/All Stop", 56},
        {"Play Retrigger", 35},
        {"Play Now", 13},
        {"Play", 15},
        {"All Play Now", 17},
        {"All Play", 19},
        {"Stop Now", 14},
        {"Stop", 16},
        {"All Stop Now", 18},
        {"All Stop", 20},
        {"All Tracks", 2},
        {"Select Track 1", 3},
        {"Select Track 2", 4},
        {"Select Track 3", 5},
        {"Select Track 4", 6},
        {"Select Track 5", 7},
        {"Select Track 6", 8},
        {"Select Track 7", 9},
        {"Select Track 8", 10},
        {"Select Group (1)", 36},
        {"Select Group (2)", 37},
        {"Select Group (3)", 38},
        {"Select Group (4)", 39},
        {"Select Group (5)", 40},
        {"Select Group (6)", 41},
        {"Select Group (7)", 42},
        {"Select Group (8)", 43},
        {"Select Group (9)", 44},
        {"Select Group(10)", 45},
        {"Track Erase", 11},
        {"Track Level", 12},
        {"Set As Clock Src", 21},
        {"Next Track", 22},
        {"Prev Track", 23},
        {"Double", 24},
        {"Triple", 25},
        {"Quadruple", 26},
        {"Reverse Track", 28},
        {"Half Speed Tr", 29},
        {"Feedback 100%", 30},
        {"Feedback +10%", 31},
        {"Feedback -10%", 32},
        {"Feedback +5%", 33},
        {"Feedback -5%", 34},
        {"Cue Track", 46},
        {"Replace", 48},
        {"Replace+Original", 49},
        {"Q Replace", 78},
        {"Q Replace+Orig", 79},
        {"Assign To AUX 1", 50},
        {"Assign To AUX 2", 55},
        {"Assign To MAIN", 62},
        {"MIDI Stop", 82},
        {"MIDI Start", 51},
        {"Fast Scramble", 52},
        {"Medium Scramble", 53},
        {"Slow Scramble", 54},
        {"Bounce", 57},
        {"Sync Bounce", 58},
        {"MIDI Sync Bounce", 59},
        {"MIDI Bypass", 61},
        {"Use Preset (0)", 63},
        {"Use Preset (1)", 64},
        {"Use Preset (2)", 65},
        {"Use Preset (3)", 66},
        {"Use Preset (4)", 67},
        {"Use Preset (5)", 68},
        {"Use Preset (6)", 69},
        {"Use Preset (7)", 70},
        {"Use Preset (8)", 71},
        {"Use Preset (9)", 72},
        {"Use Preset (10)", 73},
        {"Pan Center", 74},
        {"Fade/Swell", 77},
        {"Fade", 76},
        {"Swell", 75},
        {"Undo", 81},
        {"Redo", 126},
        {"Octave lower", 83},
        {"Minor 2nd", 84},
        {"Major 2nd", 85},
        {"Minor 3rd", 86},
        {"Major 3rd", 87},
        {"4th", 88},
        {"Diminished 5th", 89},
        {"5th", 90},
        {"Minor 6th", 91},
        {"Major 6th", 92},
        {"Minor 7th", 93},
        {"Major 7th", 94},
        {"Original note", 95},
        {"Except Track", 96},
        {"Track Level 0", 97},
        {"Track Level -5", 98},
        {"Track Level +5", 99},
        {"Shrink to 50%%", 102},
        {"Stretch to 200%%", 103},
        {"Pitch Octave Up", 125},
        {"Random Restart", 105},
        {"Quant Value 1", 106},
        {"Quant Value 2", 107},
        {"Quant Value 3", 108},
        {"Quant Value 4", 109},
        {"Quant Value 5", 110},
        {"Quant Value 6", 111},
        {"Quant Value 7", 112},
        {"Quant Value 8", 113},
        {"Quant Value 9", 114},
        {"Quant Value 10", 115},
        {"Quant Value 11", 116},
        {"Quant Value 12", 117},
        {"Quant Value 13", 118},
        {"Quant Value 14", 119},
        {"Quant Value 15", 120},
        {"Quant Value 16", 121},
        {"Quant Value 32", 122},
        {"Quant Value 64", 123},
        {"Retrigger Rand", 129},
        {"Retrigger Once", 130},
        {"QX2 switch", 131},
        {"QX2 Q Replace 1/7", 2007},
        {"QX2 Q Replace 1/8", 2008},
        {"QX2 Q Replace 1/9", 2009},
        {"QX2 Q Replace 1/10", 2010},
        {"QX2 Q Replace 1/11", 2011},
        {"QX2 Q Replace 1/12", 2012},
        {"QX2 Q Replace 1/13", 2013},
        {"QX2 Q Replace 1/16", 2016},
        {"QX2 Q Replace 1/24", 2024},
        {"QX2 Q Replace 1/64", 2064},
        {"QX2 Replace", 2100},
        {"QX2 Select Other", 2101},
        {"QX2 1/4 Speed", 2102},
        {"QX2 1/2 Speed", 2103},
    };
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
