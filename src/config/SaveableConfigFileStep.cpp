// The end of a transfer: writing the file, or applying one to the looper.
#include <algorithm>

#include "common/ConsoleLine.h"
#include "config/AtomicFile.h"
#include "config/ConfigFile.h"
#include "config/SaveableConfig.h"
#include "midi/Messages.h"

namespace qx {

Outcome QXSaveableConfig::writeConfigurationFile(const std::filesystem::path& path) const
{
    const std::string text = configurationFileText(btnConfig, qx2EffectsConfig);
    if (auto failure = writeFileAtomically(path, text))
        return {false, "Could not write " + path.string() + ": " + *failure};
    return {true, "Saved " + std::to_string(btnConfig.size()) + " button mappings to " + path.string()};
}

namespace {

// The members of "MIDIButtons", or what is wrong with the file.
std::variant<ButtonMembers, std::string> readConfigurationFile(const std::filesystem::path& path)
{
    const FileRead file = readWholeFile(path, QXSaveableConfig::kMaxFileSize);
    if (!file.failure.empty()) return "Could not read " + path.string() + ": " + file.failure;
    auto read = readButtonMembers(file.contents);
    if (auto* reason = std::get_if<std::string>(&read))
        return path.string() + " is not a configuration file: " + *reason;
    return read;
}

}  // namespace

std::optional<std::string> QXSaveableConfig::checkConfigurationFile(const std::filesystem::path& path)
{
    auto read = readConfigurationFile(path);
    if (auto* problem = std::get_if<std::string>(&read)) return std::move(*problem);
    return std::nullopt;
}

Outcome QXSaveableConfig::applyConfigurationFile(const std::filesystem::path& path)
{
    auto read = readConfigurationFile(path);
    if (auto* problem = std::get_if<std::string>(&read)) return {false, std::move(*problem)};

    std::size_t sent = 0;
    for (const ButtonMember& member : std::get<ButtonMembers>(read)) {
        const auto code = buttonCodeFromKey(member.key);
        if (!code) continue;
        const auto& looper = btnConfig[static_cast<std::size_t>(*code)].effects;
        if (std::ranges::equal(member.values, looper)) continue;
        consoleLine({*code, member.values});
        if (sendButtonMapping(*code, member.values)) ++sent;
    }
    // What was sent is not copied into btnConfig: the next transfer reads it back.
    return {true, "Restored from " + path.string() + ": " + std::to_string(sent) + " button mapping" +
                      (sent == 1 ? "" : "s") + " sent"};
}

bool QXSaveableConfig::sendButtonMapping(std::int64_t code, const FunctionValues& values)
{
    msg::Bank first{};
    if (values.size() < first.size()) return false;
    std::copy_n(values.begin(), first.size(), first.begin());
    commands_.enqueue(msg::buttonMappingWrite(code, first));
    // The tab takes it only if it shows this very button and values holds
    // exactly eight numbers, as for a one-button report.
    postToUi([this, code, values] {
        if (mapping_) mapping_(code, values);
    });
    return true;
}

}  // namespace qx
