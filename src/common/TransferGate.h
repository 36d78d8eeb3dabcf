#pragma once
// Upgrades and configuration transfers share the progress bar and the command
// queue, so only one of them runs at a time.
#include <mutex>
#include <string>
#include <utility>

namespace qx {

class TransferGate {
public:
    // The gate held for one transfer, left when the hold goes (on every path,
    // a thrown exception included) unless handed over first.
    class Hold {
    public:
        Hold() = default;
        explicit Hold(TransferGate& gate) : gate_(&gate) {}
        Hold(Hold&& other) noexcept : gate_(std::exchange(other.gate_, nullptr)) {}
        Hold& operator=(Hold&& other) noexcept
        {
            if (this != &other) {
                release();
                gate_ = std::exchange(other.gate_, nullptr);
            }
            return *this;
        }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold() { release(); }

        explicit operator bool() const { return gate_ != nullptr; }
        void release()
        {
            if (gate_) std::exchange(gate_, nullptr)->leave();
        }
        // What runs now leaves the gate itself when it ends.
        void handOver() { gate_ = nullptr; }

    private:
        TransferGate* gate_ = nullptr;
    };

    // Holds the gate for the named transfer; an empty hold when another one
    // holds it.
    Hold enter(const std::string& name) { return tryEnter(name) ? Hold(*this) : Hold(); }

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
