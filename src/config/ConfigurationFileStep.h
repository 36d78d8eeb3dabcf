#pragma once
// The end of a configuration transfer: writing what was read to a file, or
// sending the looper the mappings of a file that differ from what was read.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "common/Outcome.h"
#include "config/ConfigurationRecords.h"

namespace qx {

// A configuration file larger than this is refused rather than read: a whole
// one is about 20 KB.
inline constexpr std::size_t kMaxConfigurationFile = 256 * 1024;

// "Saved 384 button mappings to PATH", or why the file could not be written
// (the previous file, if any, is then untouched).
Outcome writeConfigurationFile(const std::filesystem::path& path, const ButtonConfigs& buttons,
                               const QX2EffectsConfig& banks);

// Nothing when the file can be applied, else what is wrong with it.
std::optional<std::string> checkConfigurationFile(const std::filesystem::path& path);

// Sends one mapping (the first eight values); false when it cannot (fewer than eight).
using MappingSender = std::function<bool(std::int64_t code, const FunctionValues& values)>;

// For each member naming a button whose values differ from the looper's, a
// console line (the code and the values) and a send. What was sent is not
// copied into looper: the next transfer reads it back.
Outcome applyConfigurationFile(const std::filesystem::path& path, const ButtonConfigs& looper,
                               const MappingSender& send);

}  // namespace qx
