#pragma once
// Which transport holds the link to the looper, how many status requests of
// each have gone unanswered, and where the link stands. Both links and the
// session share one arbiter; every member is safe to use from any thread.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "common/LinkState.h"

namespace qx {

class LinkArbiter {
public:
    // Told of every change of the link state, on the publishing thread.
    using StateListener = std::function<void(const LinkState&)>;
    explicit LinkArbiter(StateListener listener = {}) : listener_(std::move(listener)) {}

    // MIDI holds the link at start; it hands it to the network side when the
    // looper stays silent there, and the network side hands it back.
    Transport holder() const { return holder_.load(); }
    bool holds(Transport transport) const { return holder() == transport; }
    void handTo(Transport transport) { holder_.store(transport); }

    // Status requests sent since the looper last answered on that transport.
    std::int64_t unanswered(Transport transport) const { return counter(transport).load(); }
    void setUnanswered(Transport transport, std::int64_t count) { counter(transport).store(count); }
    // Adds to the count and returns the new one.
    std::int64_t addUnanswered(Transport transport, std::int64_t count = 1)
    {
        return counter(transport).fetch_add(count) + count;
    }
    // The looper answered a status request: the count starts again, and the
    // answers on that transport are counted (an upgrade waits for one).
    void answered(Transport transport)
    {
        setUnanswered(transport, 0);
        answers_[transport == Transport::midi ? 0 : 1].fetch_add(1);
    }
    std::uint64_t answers(Transport transport) const { return answers_[transport == Transport::midi ? 0 : 1].load(); }

    // True until the first status report after MIDI found an answering
    // looper: that report asks for the looper's configuration.
    bool takeFirstContact() { return firstContact_.exchange(false); }
    void expectFirstContact() { firstContact_.store(true); }

    // Where the link stands now; a change is told to the listener.
    LinkState state() const;
    void publish(const LinkState& state);

private:
    std::atomic<std::int64_t>& counter(Transport t) { return unanswered_[t == Transport::midi ? 0 : 1]; }
    const std::atomic<std::int64_t>& counter(Transport t) const { return unanswered_[t == Transport::midi ? 0 : 1]; }

    std::atomic<Transport> holder_{Transport::midi};
    std::array<std::atomic<std::int64_t>, 2> unanswered_{1, 0};
    std::array<std::atomic<std::uint64_t>, 2> answers_{0, 0};
    std::atomic<bool> firstContact_{true};
    mutable std::mutex stateLock_;  // guards state_ alone
    LinkState state_;
    StateListener listener_;
};

}  // namespace qx
