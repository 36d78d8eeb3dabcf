#pragma once
// How a long command (save, restore, upgrade) ended, for the window's status
// bar and the command-line tool's final line and exit code.
#include <functional>
#include <string>

namespace qx {

struct Outcome {
    bool success = false;
    std::string text;

    bool operator==(const Outcome&) const = default;
};

// Called on the UI thread.
using OutcomeHandler = std::function<void(const Outcome&)>;

}  // namespace qx
