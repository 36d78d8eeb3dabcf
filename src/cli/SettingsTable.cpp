#include "cli/SettingsTable.h"

#include "cli/CommandWords.h"

namespace qx::cli {

const std::vector<Setting>& settingList()
{
    static const std::vector<Setting> list = {
        {"brightness", "QX2 Display Brightness", &MiscConfigStruct::qx2Brightness, brightnessOptions},
        {"display", "QX2 Display Mode", &MiscConfigStruct::qx2DisplayType, displayModeOptions},
        {"in-clock", "MIDI In Clock Mode", &MiscConfigStruct::midiInClockMode, midiInClockOptions},
        {"out-clock", "MIDI Out Clock Mode", &MiscConfigStruct::midiOutClockMode, midiOutClockOptions},
        {"channel", "MIDI Channel", &MiscConfigStruct::midiChannel, nullptr},
        {"noise-gate", "Noise Gate Level", &MiscConfigStruct::noiseGateLevel, noiseGateOptions},
    };
    return list;
}

const Setting* findSetting(const std::string& name)
{
    for (const auto& setting : settingList())
        if (sameWord(name, setting.name)) return &setting;
    return nullptr;
}

std::string valueText(const Setting& setting, std::int64_t value)
{
    if (!setting.options) return std::to_string(value);
    if (auto option = findOption(setting.options(), value)) return option->name;
    return std::to_string(value) + " (no such option)";
}

std::string choices(const Setting& setting)
{
    if (!setting.options) return "1 to 16";
    std::string out;
    for (const auto& option : setting.options()) out += (out.empty() ? "" : ", ") + option.name;
    return out;
}

std::optional<std::int64_t> parseSettingValue(const Setting& setting, const std::string& text)
{
    if (!setting.options) {
        auto channel = parseNumber(text);
        if (channel && *channel >= 1 && *channel <= 16) return channel;
        return std::nullopt;
    }
    for (const auto& option : setting.options())
        if (sameWord(text, option.name)) return option.id;
    if (auto number = parseNumber(text); number && findOption(setting.options(), *number)) return number;
    return std::nullopt;
}

}  // namespace qx::cli
