#pragma once
// The fault tests' looper process is the network tests' simulated looper;
// this name stays for the soak benchmark, which includes it.
#include "SimulatedLooper.h"

namespace qx::test {
using LooperProcess = SimulatedLooper;
}  // namespace qx::test
