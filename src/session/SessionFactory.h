#pragma once
// The composition root: the links a session runs, and the sessions of the
// window and qxctl. Tests and benchmarks choose their own links.
#include <functional>
#include <memory>
#include <optional>

#include "midi/MidiEndpoints.h"
#include "net/NetworkLink.h"
#include "session/LooperSession.h"

namespace qx {

struct LinkChoice {
    // The MIDI ports; empty for none (the network side then gets the link at once).
    std::function<std::unique_ptr<MidiEndpoints>()> midi;
    // The network link's collaborators; empty for a network side that never searches.
    std::optional<NetworkLink::Options> network;
};
LooperSession::LinkFactory makeLinks(LinkChoice choice);

// Every MIDI port present now, then the network.
std::unique_ptr<LooperSession> makeSystemSession(MainQueue& mainQueue);
// The in-process simulated looper over MIDI only: no ports, no network.
// Nothing when this build has no simulated looper.
std::unique_ptr<LooperSession> makeDemoSession(MainQueue& mainQueue);

}  // namespace qx
