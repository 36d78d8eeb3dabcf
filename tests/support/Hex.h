#pragma once
// Byte lists written the way the looper's messages are documented: "F0 00 02 33 02 F7".
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "common/Bytes.h"

namespace qx::test {

inline Bytes hex(const std::string& text)
{
    Bytes out;
    std::istringstream in(text);
    for (std::string word; in >> word;) out.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    return out;
}

inline std::string toHex(const Bytes& bytes)
{
    std::string out;
    char text[4];
    for (std::uint8_t b : bytes) out.append(text, std::snprintf(text, sizeof text, out.empty() ? "%02X" : " %02X", b));
    return out;
}

// A message of size bytes: these first, then fill up to its closing F7.
inline Bytes padded(const std::string& start, std::size_t size, std::uint8_t fill = 0)
{
    Bytes out = hex(start);
    out.resize(size - 1, fill);
    out.push_back(0xF7);
    return out;
}

// Messages of these lengths back to back, each F0, the fill, F7.
inline Bytes sysExRun(const std::vector<std::size_t>& lengths, std::uint8_t fill = 0x22)
{
    Bytes out;
    for (std::size_t length : lengths) {
        const Bytes message = padded("F0", length, fill);
        out.insert(out.end(), message.begin(), message.end());
    }
    return out;
}

}  // namespace qx::test
