#pragma once
// A looper on a hand-moved clock, and helpers to check its replies.
#include <gtest/gtest.h>

#include "sim/LooperEngine.h"
#include "support/Hex.h"

namespace qx::sim::test {

using namespace std::chrono_literals;
using qx::test::hex;
constexpr Transport Midi = Transport::Midi, Udp = Transport::Udp;

// A looper whose tracks move only when the test moves its clock: the engine
// is given the hand-moved clock, and the test keeps it too.
struct ClockedLooper : LooperEngine {
    explicit ClockedLooper(EngineOptions options = {},
                           std::shared_ptr<ManualSimClock> hand = std::make_shared<ManualSimClock>())
        : LooperEngine((options.clock = hand, options)), clock(std::move(hand)) {}
    void advanceSeconds(double s) { clock->advance(Nanos(static_cast<std::int64_t>(s * 1e9))); }
    const std::shared_ptr<ManualSimClock> clock;
};

// Options or faults as made by default, with one member changed.
template <typename Struct, typename Member, typename Value>
Struct with(Member Struct::*member, Value value)
{
    Struct made{};
    made.*member = std::move(value);
    return made;
}

inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline std::vector<Bytes> bytesOf(const std::vector<Reply>& replies)
{
    std::vector<Bytes> out;
    for (const Reply& r : replies) out.push_back(r.bytes);
    return out;
}

// The only reply to one message; empty when there is not exactly one.
inline Bytes onlyReply(const std::vector<Reply>& replies) { return replies.size() == 1 ? replies[0].bytes : Bytes{}; }

// One message to the looper and everything it sends back, in order.
struct Exchange {
    Transport via;
    Bytes message;
    std::vector<Bytes> replies;
};

inline void expectExchanges(LooperEngine& looper, const std::vector<Exchange>& script)
{
    for (const Exchange& x : script)
        EXPECT_EQ(bytesOf(x.via == Transport::Midi ? looper.receiveMidi(x.message) : looper.receiveDatagram(x.message)),
                  x.replies)
            << transportName(x.via) << " " << qx::test::toHex(x.message);
}

}  // namespace qx::sim::test
