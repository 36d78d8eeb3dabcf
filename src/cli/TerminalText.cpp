#include "cli/TerminalText.h"

#include <cstdint>

namespace qx::cli {
namespace {

// The length of the well-formed UTF-8 sequence starting at text[at] (2 to 4),
// or 0. Overlong forms, surrogates and code points past U+10FFFF count as
// ill-formed.
std::size_t sequenceLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
    const std::uint8_t lead = byte(0);
    std::size_t length = 0;
    std::uint8_t low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    return length;
}

}  // namespace

std::string terminalSafe(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<std::uint8_t>(text[at]);
        if (c < 0x80) {
            const bool control = (c < 0x20 && c != '\n' && c != '\t') || c == 0x7F;
            out += control ? '?' : static_cast<char>(c);
            ++at;
            continue;
        }
        const std::size_t length = sequenceLength(text, at);
        // C1 controls are U+0080 to U+009F: C2 80 to C2 9F.
        if (length == 0 || (length == 2 && c == 0xC2 && static_cast<std::uint8_t>(text[at + 1]) < 0xA0)) {
            out += '?';
            at += length == 0 ? 1 : length;
            continue;
        }
        out.append(text.substr(at, length));
        at += length;
    }
    return out;
}

}  // namespace qx::cli
