#pragma once
// The demo mode: the link talks to the in-process simulated looper over its
// MIDI side only. No MIDI ports are opened and the network is never touched.
#include <memory>

#include "link/LooperLink.h"

namespace qx {

std::unique_ptr<LooperLink> makeDemoLink(MainQueue& mainQueue);

}  // namespace qx
