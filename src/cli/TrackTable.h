#pragma once
// The track grid as terminal text: a header column and one column per track.
#include <string>

#include "model/Tracks.h"

namespace qx::cli {

std::string renderTrackTable(const Tracks& tracks, const std::string& deviceLine);

}  // namespace qx::cli
