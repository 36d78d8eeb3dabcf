#pragma once
// Text from the looper is printed with its control characters replaced, so a
// name or log line cannot move the cursor, clear the screen or retitle the
// terminal.
#include <string>
#include <string_view>

namespace qx::cli {

// Line feeds and tabs stay; every other control character (C0, DEL, C1) and
// every byte that is not part of well-formed UTF-8 becomes '?'.
std::string terminalSafe(std::string_view text);

}  // namespace qx::cli
