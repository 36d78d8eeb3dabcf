#pragma once
// The fixed tables that give the looper's function numbers and option values
// their display names. Built once, on first use (thread-safe), then read-only.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qx {

struct QX2Function {
    std::string name;
    std::int64_t id;
};

struct StringWithValue {
    std::string name;
    std::int64_t id;
};

const std::vector<QX2Function>& qx2Functions();          // 144 rows, display order
const std::vector<StringWithValue>& midiButtonTypes();   // PgmChange 0, CC 128, Note 256
const std::vector<StringWithValue>& brightnessOptions();
const std::vector<StringWithValue>& displayModeOptions();
const std::vector<StringWithValue>& midiInClockOptions();
const std::vector<StringWithValue>& midiOutClockOptions();
const std::vector<StringWithValue>& noiseGateOptions();

// The row whose id equals the value, or none.
std::optional<QX2Function> findFunction(std::int64_t id);
std::optional<StringWithValue> findOption(const std::vector<StringWithValue>& table, std::int64_t id);

}  // namespace qx
