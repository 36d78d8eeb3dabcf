#pragma once
// The saved configuration file: compact JSON whose top level holds exactly
// "MIDIButtons" (members "0".."383", each the eight function numbers of that
// button), "QX2Effects1" and "QX2Effects2" (the effect banks, or empty).
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "config/ConfigurationRecords.h"

namespace qx {

std::string configurationFileText(const ButtonConfigs& buttons, const QX2EffectsConfig& banks);

// One member of "MIDIButtons" as the file holds it: its key and its numbers.
struct ButtonMember {
    std::string key;
    FunctionValues values;
};
using ButtonMembers = std::vector<ButtonMember>;

// The members of "MIDIButtons", or why the text is not a configuration file:
// not JSON, not an object at the top, no "MIDIButtons" object, or a member
// value that is not an array of function numbers (whole numbers from -1 to
// 16382, the range a slot can carry; 16383 would go out as "empty"). The other members are not looked at.
std::variant<ButtonMembers, std::string> readButtonMembers(const std::string& text);

// The button code a member key names: an optional sign and decimal digits,
// from 0 to 383. Nothing for any other key.
std::optional<std::int64_t> buttonCodeFromKey(const std::string& key);

}  // namespace qx
