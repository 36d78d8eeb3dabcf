#pragma once
// One message the looper sends back, and how long it waits before sending it.
#include <chrono>

#include "common/Bytes.h"

namespace qx::sim {

struct Reply {
    Bytes bytes;
    std::chrono::milliseconds delay{0};
};

}  // namespace qx::sim
