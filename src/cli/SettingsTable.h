#pragma once
// The six miscellaneous settings as qxctl names them, and their values as the
// settings tab offers them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/FunctionTables.h"
#include "config/MiscConfig.h"

namespace qx::cli {

struct Setting {
    const char* name;   // as typed: "brightness"
    const char* label;  // as the settings tab shows it
    std::int64_t MiscConfigStruct::*field;
    const std::vector<StringWithValue>& (*options)();  // none: the MIDI channel, 1 to 16
};

const std::vector<Setting>& settingList();
// By its name, letter case aside.
const Setting* findSetting(const std::string& name);
// "Medium", "12", "7 (no such option)".
std::string valueText(const Setting& setting, std::int64_t value);
// What the setting takes: "Low, Medium, High", "1 to 16".
std::string choices(const Setting& setting);
// A value by option name or number; only what the settings tab offers.
std::optional<std::int64_t> parseSettingValue(const Setting& setting, const std::string& text);

}  // namespace qx::cli
