#include "sim/ByteText.h"

#include <cstdio>

namespace qx::sim {

std::string hexBytes(std::span<const std::uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t b : bytes) {
        if (!text.empty()) text.push_back(' ');
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

bool isPrintableText(std::span<const std::uint8_t> bytes)
{
    for (std::uint8_t b : bytes)
        if (b < 0x20 || b > 0x7E) return false;
    return true;
}

std::uint64_t fnv1a64(std::span<const std::uint8_t> bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (std::uint8_t b : bytes) {
        hash ^= b;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string hashText(std::span<const std::uint8_t> bytes)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(fnv1a64(bytes)));
    return text;
}

}  // namespace qx::sim
