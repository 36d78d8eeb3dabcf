#pragma once
// Captures the console lines written while it lives.
#include <mutex>
#include <string>
#include <vector>

#include "common/ConsoleLine.h"

namespace qx::test {

class ConsoleRecorder {
public:
    ConsoleRecorder()
    {
        setConsoleSink([this](const std::string& line) {
            std::lock_guard guard(lock_);
            lines_.push_back(line);
        });
    }
    ~ConsoleRecorder() { setConsoleSink(nullptr); }
    ConsoleRecorder(const ConsoleRecorder&) = delete;
    ConsoleRecorder& operator=(const ConsoleRecorder&) = delete;

    std::vector<std::string> lines() const
    {
        std::lock_guard guard(lock_);
        return lines_;
    }

private:
    mutable std::mutex lock_;
    std::vector<std::string> lines_;
};

}  // namespace qx::test
