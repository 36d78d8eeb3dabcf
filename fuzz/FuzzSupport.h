#pragma once
// What every fuzz target shares: console lines are thrown away (an "Unknown
// sysex" line per mutated input would cost more than the decoding), and a
// broken invariant stops the run the way a sanitizer finding does.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/ConsoleLine.h"

namespace qx::fuzz {

inline void silenceConsole()
{
    setConsoleSink([](const std::string&) {});
}

// Reports the broken invariant and aborts: libFuzzer saves the input as a crash.
[[noreturn]] inline void broken(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void require(bool holds, const char* what)
{
    if (!holds) broken(what);
}

}  // namespace qx::fuzz
