#pragma once
// Replacing a file so that a reader (or a crash) sees either the old contents
// or the new, never a mixture: the new contents go to a temporary file in the
// same folder, are flushed to the disk, and the temporary file is renamed over
// the target. A symbolic link is followed: its target is replaced and the
// link stays a link.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// Returns why the file could not be written; the previous file, if any, is then
// untouched and no temporary file is left behind.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& target, std::string_view contents);

}  // namespace qx
