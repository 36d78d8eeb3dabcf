#include "config/ConfigFile.h"

#include <nlohmann/json.hpp>

namespace qx {
namespace {

using Json = nlohmann::json;

constexpr std::int64_t kLowestFunction = -1;
// The largest 7-bit pair, 7F 7F, is how a slot says "empty" (-1), so a
// function number stops one short of it.
constexpr std::int64_t kHighestFunction = 16382;

// A short description of a value that is not a function number. Never the
// value's whole text: printing a deeply nested value recurses once per level.
std::string describe(const Json& item)
{
    switch (item.type()) {
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
    case Json::value_t::boolean:
    case Json::value_t::null: return item.dump();
    case Json::value_t::string: return "a text";
    case Json::value_t::array: return "a list";
    case Json::value_t::object: return "an object";
    default: return "a value";
    }
}

// The member's numbers, or why they cannot be function numbers.
std::variant<FunctionValues, std::string> functionNumbers(const std::string& key, const Json& value)
{
    const std::string where = "member \"" + key + "\" of \"MIDIButtons\"";
    if (!value.is_array()) return where + " is not an array";
    FunctionValues numbers;
    numbers.reserve(value.size());
    for (const Json& item : value) {
        if (!item.is_number_integer()) return where + " holds " + describe(item) + ", which is not a whole number";
        // Read as unsigned first: a huge positive number must not wrap into range.
        const bool fits = item.is_number_unsigned() ? item.get<std::uint64_t>() <= kHighestFunction
                                                    : item.get<std::int64_t>() >= kLowestFunction &&
                                                          item.get<std::int64_t>() <= kHighestFunction;
        if (!fits) return where + " holds " + item.dump() + ", outside -1 to 16382";
        const auto number = item.get<std::int64_t>();
        numbers.push_back(number);
    }
    return numbers;
}

}  // namespace

std::string configurationFileText(const ButtonConfigs& buttons, const QX2EffectsConfig& banks)
{
    Json mappings = Json::object();
    for (std::size_t code = 0; code < buttons.size(); ++code)
        mappings[std::to_string(code)] = buttons[code].effects;
    Json top = Json::object();
    top["MIDIButtons"] = std::move(mappings);
    top["QX2Effects1"] = banks.effects1;
    top["QX2Effects2"] = banks.effects2;
    return top.dump();
}

std::variant<ButtonMembers, std::string> readButtonMembers(const std::string& text)
{
    const Json top = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (top.is_discarded()) return std::string("the text is not JSON");
    if (!top.is_object()) return std::string("the top level is not an object");
    const auto found = top.find("MIDIButtons");
    if (found == top.end()) return std::string("there is no \"MIDIButtons\" member");
    if (!found->is_object()) return std::string("\"MIDIButtons\" is not an object");

    ButtonMembers members;
    for (const auto& [key, value] : found->items()) {
        auto numbers = functionNumbers(key, value);
        if (auto* reason = std::get_if<std::string>(&numbers)) return std::move(*reason);
        members.push_back({key, std::move(std::get<FunctionValues>(numbers))});
    }
    return members;
}

std::optional<std::int64_t> buttonCodeFromKey(const std::string& key)
{
    std::size_t at = 0;
    bool negative = false;
    if (at < key.size() && (key[at] == '+' || key[at] == '-')) negative = key[at++] == '-';
    if (at == key.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; at < key.size(); ++at) {
        if (key[at] < '0' || key[at] > '9') return std::nullopt;
        value = value * 10 + (key[at] - '0');
        // Past the last code the rest of the digits cannot bring it back.
        if (value >= static_cast<std::int64_t>(kButtonCodes)) value = static_cast<std::int64_t>(kButtonCodes);
    }
    if (negative && value != 0) return std::nullopt;
    if (value >= static_cast<std::int64_t>(kButtonCodes)) return std::nullopt;
    return value;
}

}  // namespace qx
