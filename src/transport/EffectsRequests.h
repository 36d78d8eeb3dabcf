#pragma once
// The QX2 effect banks travel outside the command queue: a read request and a
// write request are raised by the session and taken by the MIDI polling
// cycle, which sends the effects request, or the write built from the banks
// as they are when it goes out.
#include <functional>
#include <mutex>

#include "common/Bytes.h"

namespace qx {

class EffectsRequests {
public:
    // Builds the effects write from the banks being edited (any thread).
    using WriteBuilder = std::function<Bytes()>;
    explicit EffectsRequests(WriteBuilder build = {}) : build_(std::move(build)) {}

    void requestRead()
    {
        std::lock_guard guard(lock_);
        read_ = true;
    }
    void requestWrite()
    {
        std::lock_guard guard(lock_);
        write_ = true;
    }
    struct Taken {
        bool read = false;
        bool write = false;
    };
    // The requests raised since the last call, cleared.
    Taken take()
    {
        std::lock_guard guard(lock_);
        Taken taken{read_, write_};
        read_ = write_ = false;
        return taken;
    }
    Bytes writeMessage() const { return build_ ? build_() : Bytes{}; }

private:
    WriteBuilder build_;
    std::mutex lock_;  // guards the two flags alone
    bool read_ = false;
    bool write_ = false;
};

}  // namespace qx
