#pragma once
// A looper session whose MIDI link talks to a test double and whose network
// side never searches. No thread runs until a test starts one: the test plays
// the looper through the double, runs the UI-thread hand-offs by hand, and
// reads what the session queued or sent.
#include <memory>
#include <vector>

#include "common/MainQueue.h"
#include "midi/MidiLink.h"
#include "session/SessionFactory.h"
#include "support/FakeMidiEndpoints.h"

namespace qx::test {

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
        for (Bytes m = commands().dequeue(); !m.empty(); m = commands().dequeue()) out.push_back(m);
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
