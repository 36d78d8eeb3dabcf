#pragma once
// The composition root: the links a session runs, and the sessions of the
// window and qxctl. Tests and benchmarks choose their own links.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "midi/MidiEndpoints.h"
#include "net/NetworkLink.h"
#include "session/LooperSession.h"

namespace qx {

struct LinkChoice {
    // The MIDI ports; empty for none (the network side then gets the link at once).
    std::function<std::unique_ptr<MidiEndpoints>()> midi;
    // The network link's collaborators; empty for a network side that never searches.
    std::optional<NetworkLink::Options> network;
    // Where both links write what they send and receive; empty for nowhere.
    std::shared_ptr<TrafficTrace> trace = nullptr;
};
LooperSession::LinkFactory makeLinks(LinkChoice choice);

// What the user chose on the command line (or in the window's MIDI menu).
struct SessionOptions {
    std::string midiDevice;  // only this MIDI device's ports; empty for every port
    std::string tracePath;   // every message sent and received, as hex lines; empty for none
    bool verbose = false;    // the MIDI system's own messages on standard error
};

// Every MIDI port as ports come and go, then the network. Both throw
// std::runtime_error saying why when the trace file cannot be written.
std::unique_ptr<LooperSession> makeSystemSession(MainQueue& mainQueue, const SessionOptions& options = {});
// The in-process simulated looper over MIDI only: no ports, no network.
// Nothing when this build has no simulated looper.
std::unique_ptr<LooperSession> makeDemoSession(MainQueue& mainQueue, const SessionOptions& options = {});

// The MIDI ports the panel would use now with these options ("device:port"),
// or, when there is no MIDI system, why ("No MIDI: ...") in noMidi.
struct MidiPortList {
    std::vector<std::string> destinations;
    std::vector<std::string> sources;
    std::string noMidi;
};
MidiPortList listSystemMidiPorts(const SessionOptions& options);

}  // namespace qx
