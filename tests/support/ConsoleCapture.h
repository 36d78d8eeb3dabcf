#pragma once
// Collects console lines while it lives.
#include <mutex>
#include <string>
#include <vector>

#include "common/ConsoleLine.h"

namespace qx::test {

class ConsoleCapture {
public:
    ConsoleCapture()
    {
        setConsoleSink([this](const std::string& line) {
            std::lock_guard guard(lock_);
            lines_.push_back(line);
        });
    }
    ~ConsoleCapture() { setConsoleSink({}); }
    std::vector<std::string> lines() const
    {
        std::lock_guard guard(lock_);
        return lines_;
    }
    void clear()
    {
        std::lock_guard guard(lock_);
        lines_.clear();
    }

private:
    mutable std::mutex lock_;
    std::vector<std::string> lines_;
};

}  // namespace qx::test
