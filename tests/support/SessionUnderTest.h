#pragma once
// A looper session whose MIDI link talks to a test double and whose network
// side never searches. No thread runs until a test starts one: the test plays
// the looper through the double, runs the UI-thread hand-offs by hand, and
// reads what the session queued or sent.
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/MainQueue.h"
#include "midi/MidiEndpoints.h"
#include "midi/MidiLink.h"
#include "session/SessionFactory.h"

namespace qx::test {

// MIDI endpoints that record what is sent to each destination and let a test
// deliver bytes as if the looper's source had sent them.
class FakeMidiEndpoints : public MidiEndpoints {
public:
    explicit FakeMidiEndpoints(std::vector<std::string> destinations) : destinations_(std::move(destinations)) {}

    void setReceiver(Receiver receiver) override
    {
        std::lock_guard guard(lock_);
        receiver_ = std::move(receiver);
    }
    std::vector<std::string> destinationNames() const override { return destinations_; }
    std::vector<std::string> sourceNames() const override { return {"looper"}; }
    bool sendToEach(std::span<const std::uint8_t> message) override
    {
        std::lock_guard guard(lock_);
        for (const auto& name : destinations_) sent_.emplace_back(name, Bytes(message.begin(), message.end()));
        return !destinations_.empty();
    }

    void deliver(const Bytes& bytes)
    {
        std::unique_lock guard(lock_);
        const Receiver receiver = receiver_;
        guard.unlock();  // it may send
        if (receiver) receiver(bytes);
    }
    // What went to one destination, oldest first.
    std::vector<Bytes> messages(const std::string& destination = "looper") const
    {
        std::lock_guard guard(lock_);
        std::vector<Bytes> out;
        for (const auto& [to, message] : sent_)
            if (to == destination) out.push_back(message);
        return out;
    }
    void clear()
    {
        std::lock_guard guard(lock_);
        sent_.clear();
    }

private:
    const std::vector<std::string> destinations_;
    mutable std::mutex lock_;
    Receiver receiver_;
    std::vector<std::pair<std::string, Bytes>> sent_;
};

struct SessionUnderTest {
    explicit SessionUnderTest(std::vector<std::string> destinations = {"looper"})
        : session(ui, makeLinks({.midi = [this, destinations] {
                                     auto endpoints = std::make_unique<FakeMidiEndpoints>(destinations);
                                     midi = endpoints.get();
                                     return endpoints;
                                 },
                                 .network = std::nullopt}))
    {
    }

    // Bytes from the looper's MIDI source, then the hand-offs they caused.
    void receive(const Bytes& bytes)
    {
        midi->deliver(bytes);
        ui.drain();
    }
    // Everything waiting for the looper, oldest first, taken off the queue.
    std::vector<Bytes> queued()
    {
        std::vector<Bytes> out;
        for (Bytes m; !(m = commands().dequeue()).empty();) out.push_back(m);
        return out;
    }
    QXCommandQueue& commands() { return session.linkHost().commands; }
    MidiLink& midiLink() { return static_cast<MidiLink&>(session.link(Transport::midi)); }
    SessionModels& models() { return session.models(); }
    // What the MIDI link would publish once a looper answers there.
    void looperAnswersOnMidi() { session.arbiter().publish({LinkState::Phase::pollingMidi, {}, {}}); }

    ManualMainQueue ui;  // first: the session posts here until it is gone
    FakeMidiEndpoints* midi = nullptr;
    LooperSession session;
};

}  // namespace qx::test
