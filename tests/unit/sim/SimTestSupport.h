#pragma once
// A looper on a hand-moved clock, and small helpers for its replies.
#include <memory>
#include <string>
#include <vector>

#include "sim/LooperEngine.h"
#include "support/Hex.h"

namespace qx::sim::test {

using qx::test::hex;
using qx::test::toHex;

struct ClockedLooper {
    explicit ClockedLooper(EngineOptions options = {})
    {
        options.clock = clock;
        engine = std::make_unique<LooperEngine>(std::move(options));
    }
    void advanceSeconds(double s) { clock->advance(Nanos(static_cast<std::int64_t>(s * 1e9))); }

    std::shared_ptr<ManualSimClock> clock = std::make_shared<ManualSimClock>();
    std::unique_ptr<LooperEngine> engine;
};

inline EngineOptions emptyStage()
{
    EngineOptions options;
    options.defaultScene = false;
    return options;
}

inline std::vector<Bytes> bytesOf(const std::vector<Reply>& replies)
{
    std::vector<Bytes> out;
    for (const Reply& r : replies) out.push_back(r.bytes);
    return out;
}

inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The only reply to one message; empty when there is not exactly one.
inline Bytes onlyReply(const std::vector<Reply>& replies) { return replies.size() == 1 ? replies[0].bytes : Bytes{}; }

}  // namespace qx::sim::test
