#include "config/ConfigurationFileStep.h"

#include <algorithm>

#include "common/ConsoleLine.h"
#include "common/RegularFile.h"
#include "config/AtomicFile.h"
#include "config/ConfigFile.h"

namespace qx {
namespace {

// The members of "MIDIButtons", or what is wrong with the file.
std::variant<ButtonMembers, std::string> readConfigurationFile(const std::filesystem::path& path)
{
    const FileRead file = readRegularFile(path, kMaxConfigurationFile);
    if (file.problem == FileRead::Problem::tooLong)
        return "Could not read " + path.string() + ": " + file.reason + ", too long for a configuration file";
    if (file.problem != FileRead::Problem::none) return "Could not read " + path.string() + ": " + file.reason;
    auto read = readButtonMembers(file.contents);
    if (auto* reason = std::get_if<std::string>(&read))
        return path.string() + " is not a configuration file: " + *reason;
    return read;
}

}  // namespace

Outcome writeConfigurationFile(const std::filesystem::path& path, const ButtonConfigs& buttons,
                               const QX2EffectsConfig& banks)
{
    const std::string text = configurationFileText(buttons, banks);
    if (auto failure = writeFileAtomically(path, text))
        return {false, "Could not write " + path.string() + ": " + *failure};
    return {true, "Saved " + std::to_string(buttons.size()) + " button mappings to " + path.string()};
}

std::optional<std::string> checkConfigurationFile(const std::filesystem::path& path)
{
    auto read = readConfigurationFile(path);
    if (auto* problem = std::get_if<std::string>(&read)) return std::move(*problem);
    return std::nullopt;
}

Outcome applyConfigurationFile(const std::filesystem::path& path, const ButtonConfigs& looper,
                               const MappingSender& send)
{
    auto read = readConfigurationFile(path);
    if (auto* problem = std::get_if<std::string>(&read)) return {false, std::move(*problem)};

    std::size_t sent = 0;
    for (const ButtonMember& member : std::get<ButtonMembers>(read)) {
        const auto code = buttonCodeFromKey(member.key);
        if (!code) continue;
        const auto& held = looper[static_cast<std::size_t>(*code)].effects;
        if (std::ranges::equal(member.values, held)) continue;
        consoleLine({*code, member.values});
        if (send(*code, member.values)) ++sent;
    }
    return {true, "Restored from " + path.string() + ": " + std::to_string(sent) + " button mapping" +
                      (sent == 1 ? "" : "s") + " sent"};
}

}  // namespace qx
