#include "common/LinkState.h"

namespace qx {

std::string statusWords(const LinkState& state)
{
    switch (state.phase) {
    case LinkState::Phase::starting: return "Starting the link to the looper";
    case LinkState::Phase::searchingMidi: return "Searching for the looper on MIDI";
    case LinkState::Phase::pollingMidi: return "Polling the looper over MIDI";
    case LinkState::Phase::searchingNetwork: return "Searching the network for the looper";
    case LinkState::Phase::connectedNetwork:
        return "Connected over the network to " + state.looperName + " at " + state.address;
    }
    return {};
}

}  // namespace qx
