#pragma once
// Upgrades and configuration transfers share the progress bar and the command
// queue, so only one of them runs at a time.
#include <mutex>
#include <string>

namespace qx {

class TransferGate {
public:
    // Takes the gate for the named transfer; false when another one holds it.
    bool tryEnter(const std::string& name)
    {
        std::lock_guard guard(lock_);
        if (!holder_.empty()) return false;
        holder_ = name;
        return true;
    }
    void leave()
    {
        std::lock_guard guard(lock_);
        holder_.clear();
    }
    // The running transfer's name, or empty when none runs.
    std::string holder() const
    {
        std::lock_guard guard(lock_);
        return holder_;
    }

private:
    mutable std::mutex lock_;
    std::string holder_;
};

}  // namespace qx
