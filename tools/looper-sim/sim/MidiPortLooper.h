#pragma once
// The simulated looper on the machine's MIDI system: a virtual input and a
// virtual output port, both named "QX Looper Sim", on the ALSA sequencer or
// JACK. Messages arriving on the input go to the engine; replies and button
// events leave on the output from a thread of the simulator.
#include <memory>
#include <string>

#include "sim/LooperEngine.h"

namespace qx::sim {

enum class MidiBackend {
    Automatic,  // ALSA when /dev/snd/seq is usable, JACK otherwise
    Jack,
    Alsa,
};

class MidiPortLooper {
public:
    // Opens both ports; throws std::runtime_error with the reason when it
    // cannot (no JACK server running, no sequencer).
    MidiPortLooper(std::shared_ptr<LooperEngine> engine, MidiBackend backend,
                   const std::string& portName = "QX Looper Sim");
    // Closes the input first, so no callback runs once it returns.
    ~MidiPortLooper();
    MidiPortLooper(const MidiPortLooper&) = delete;
    MidiPortLooper& operator=(const MidiPortLooper&) = delete;

    // "jack" or "alsa".
    std::string backendName() const;

private:
    struct Ports;
    std::unique_ptr<Ports> ports_;
};

}  // namespace qx::sim
