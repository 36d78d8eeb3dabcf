#pragma once
// A one-line progress bar for the terminal, redrawn in place.
#include <cstdio>
#include <string>

namespace qx::cli {

inline void drawProgress(const char* label, double fraction)
{
    if (fraction < 0) fraction = 0;
    if (fraction > 1) fraction = 1;
    constexpr int width = 40;
    const int filled = static_cast<int>(fraction * width + 0.5);
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", label, std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(width - filled), '-').c_str(), static_cast<int>(fraction * 100 + 0.5));
    std::fflush(stderr);
}

inline void endProgress() { std::fputs("\n", stderr); }

}  // namespace qx::cli
