#pragma once
// What every fuzz target shares: console lines are thrown away (an "Unknown
// sysex" line per mutated input would cost more than the decoding), and a
// broken invariant stops the run the way a sanitizer finding does.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
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

// Reads an input front to back, so that a hand-made seed reads the way it is
// written. Past the end it yields zeros and empty spans.
class InputReader {
public:
    explicit InputReader(std::span<const std::uint8_t> input) : input_(input) {}
    bool empty() const { return at_ >= input_.size(); }
    std::uint8_t byte() { return empty() ? 0 : input_[at_++]; }
    std::span<const std::uint8_t> take(std::size_t count)
    {
        const std::size_t n = std::min(count, input_.size() - std::min(at_, input_.size()));
        const auto taken = input_.subspan(at_, n);
        at_ += n;
        return taken;
    }
    std::span<const std::uint8_t> rest() { return take(input_.size()); }

private:
    std::span<const std::uint8_t> input_;
    std::size_t at_ = 0;
};

// True when every character of the text is a whole UTF-8 sequence: a lead
// byte followed by as many continuation bytes as it announces.
inline bool isUtf8(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        if (lead >= 0xF0 && lead <= 0xF4) extra = 3;
        else if (lead >= 0xE0 && lead <= 0xEF) extra = 2;
        else if (lead >= 0xC2 && lead <= 0xDF) extra = 1;
        else if (lead >= 0x80) return false;
        if (i + extra >= text.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace qx::fuzz
