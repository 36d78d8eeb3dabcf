#pragma once
// Reading and checking a firmware upgrade file before anything is sent: a
// half-sent firmware can leave a pedal unusable.
#include <optional>
#include <string>
#include <variant>

#include "common/Bytes.h"

namespace qx {

inline constexpr std::size_t kMaxUpgradeFile = 1'000'000;

// The whole file, or the reason it cannot be used (unreadable, empty, longer
// than 1,000,000 bytes).
std::variant<Bytes, std::string> readUpgradeFile(const std::string& path);

// Over MIDI the file must be a back-to-back sequence of complete SysEx
// messages (0xF0, data bytes below 0x80, 0xF7), each at most 256 bytes.
// Returns where and why it is not, or nothing when it is.
std::optional<std::string> checkSysExUpgrade(const Bytes& contents);

}  // namespace qx
