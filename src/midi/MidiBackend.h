#pragma once
// One MIDI client of the panel's on a MIDI system (JACK or the ALSA
// sequencer), with one input port joined to every source and one output port
// joined to every destination. Both backends are small and shaped alike; the
// ports they follow and the threads that read their input are shared.
#include <cstdint>
#include <span>
#include <string>

#include "midi/EventRing.h"
#include "midi/MidiPortFollower.h"
#include "midi/Wakeup.h"

namespace qx {

class MidiBackend : public MidiPortDirectory {
public:
    // Where a backend puts what it hears. Its input thread (JACK's real-time
    // thread, or the ALSA reader) only copies the bytes into `input` and wakes
    // `received`; a port registered or gone wakes `portsChanged`.
    struct Hooks {
        EventRing& input;
        Wakeup& received;
        Wakeup& portsChanged;
    };
    // Starts the input thread; nothing reaches the hooks before this or after close().
    virtual bool activate(Hooks hooks) = 0;
    virtual void close() = 0;
    // One message to the output port, hence to every joined destination.
    virtual bool send(std::span<const std::uint8_t> message) = 0;
};

}  // namespace qx
