#pragma once
// Which looper the window talks to: the real one (every MIDI port, then the
// network) or, in demo mode, the in-process simulated looper.
#include <memory>

#include "common/MainQueue.h"
#include "link/LooperLink.h"

namespace qx::app {

// False when this build has no simulated looper.
bool demoLinkAvailable();
// Nothing when demo mode is asked for but not available; never falls back to
// the real ports and network.
std::unique_ptr<LooperLink> makePanelLink(MainQueue& mainQueue, bool demo);

}  // namespace qx::app
