#pragma once
// The line-based control protocol through which tests steer a running
// simulator: one command per line; the answer is any data lines followed by
// one line that begins "ok" or "error". See README.md for the commands.
#include <string>
#include <vector>

#include "sim/LooperEngine.h"

namespace qx::sim {

class ControlSession {
public:
    explicit ControlSession(LooperEngine& engine) : engine_(engine) {}

    // The answer lines to one command line (none for a blank line).
    std::vector<std::string> run(const std::string& line);
    bool quitRequested() const { return quit_; }

private:
    LooperEngine& engine_;
    bool quit_ = false;
};

}  // namespace qx::sim
