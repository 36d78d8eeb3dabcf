#pragma once
// Byte lists written the way the looper's messages are documented: "F0 00 02 33 02 F7".
#include <cstdio>
#include <sstream>
#include <string>

#include "common/Bytes.h"

namespace qx::test {

inline Bytes hex(const std::string& text)
{
    Bytes out;
    std::istringstream in(text);
    std::string word;
    while (in >> word) out.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    return out;
}

inline std::string toHex(const Bytes& bytes)
{
    std::string out;
    char text[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(text, sizeof text, i ? " %02X" : "%02X", bytes[i]);
        out += text;
    }
    return out;
}

}  // namespace qx::test
