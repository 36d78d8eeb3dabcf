#pragma once
// Where the link to the looper stands, as the link that holds it publishes it,
// and the status bar's words for it.
#include <string>

namespace qx {

// The two ways to reach the looper.
enum class Transport { midi, network };

struct LinkState {
    enum class Phase { starting, searchingMidi, pollingMidi, searchingNetwork, connectedNetwork };
    Phase phase = Phase::starting;
    // While connected over the network: the looper's name and its IPv4 address.
    std::string looperName;
    std::string address;

    bool operator==(const LinkState&) const = default;
    // A looper answers the polling of one of the links.
    bool answering() const { return phase == Phase::pollingMidi || phase == Phase::connectedNetwork; }
};

// "Polling the looper over MIDI", "Connected over the network to NAME at ADDRESS", ...
std::string statusWords(const LinkState& state);

}  // namespace qx
