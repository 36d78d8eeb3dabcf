#pragma once
// The looper's button mappings and effect banks as one line of compact JSON,
// in the shape of the panel's saved configuration file:
// {"MIDIButtons":{"0":[...],...,"383":[...]},"QX2Effects1":[...],"QX2Effects2":[...]}
#include <string>

#include "sim/LooperEngine.h"

namespace qx::sim {

std::string configurationJson(LooperEngine& engine);

}  // namespace qx::sim
