#include "protocol/SysExCodec.h"

#include <algorithm>

namespace qx::sysex {

bool hasLooperEnvelope(std::span<const std::uint8_t> message)
{
    return message.size() >= kMinLength && message[1] == kManufacturer[0] &&
           message[2] == kManufacturer[1] && message[3] == kManufacturer[2];
}

Bytes message(std::uint8_t type, std::span<const std::uint8_t> payload)
{
    Bytes out(payload.size() + 6);
    out[0] = kStart;
    out[1] = kManufacturer[0];
    out[2] = kManufacturer[1];
    out[3] = kManufacturer[2];
    out[4] = type;
    std::copy(payload.begin(), payload.end(), out.begin() + 5);
    out.back() = kEnd;
    return out;
}

void appendPair(Bytes& out, std::int64_t value)
{
    out.push_back(static_cast<std::uint8_t>((value >> 7) & 0x7F));
    out.push_back(static_cast<std::uint8_t>(value & 0x7F));
}

std::int64_t decodePair(std::uint8_t high, std::uint8_t low)
{
    const std::int64_t value = std::int64_t{high} * 128 + low;
    return value == 16383 ? -1 : value;
}

std::optional<std::int64_t> pairAt(std::span<const std::uint8_t> message, std::size_t offset)
{
    if (offset + 1 >= message.size()) return std::nullopt;
    return decodePair(message[offset], message[offset + 1]);
}

std::int64_t decodeFiveGroups(std::span<const std::uint8_t, 5> bytes)
{
    std::int64_t value = 0;
    for (int i = 4; i >= 0; --i) value = value * 128 + bytes[static_cast<std::size_t>(i)];
    return value;
}

void appendFiveGroups(Bytes& out, std::int64_t value)
{
    for (int i = 0; i < 5; ++i) {
        out.push_back(static_cast<std::uint8_t>(value & 0x7F));
        value >>= 7;
    }
}

Bytes unpackGroups(std::span<const std::uint8_t> message, std::size_t offset)
{
    Bytes data;
    std::size_t start = offset;
    while (start < message.size() && message[start] != kEnd) {
        const std::uint8_t top = message[start];
        for (std::size_t j = 0; j < 7; ++j) {
            const std::size_t at = start + 1 + j;
            if (at >= message.size() || message[at] == kEnd) return data;
            const auto bit7 = static_cast<std::uint8_t>(((top >> (6 - j)) & 1) << 7);
            data.push_back(static_cast<std::uint8_t>(message[at] | bit7));
        }
        start += 8;
    }
    return data;
}

void appendPackedGroups(Bytes& out, std::span<const std::uint8_t> data)
{
    for (std::size_t start = 0; start < data.size(); start += 7) {
        const std::size_t n = std::min<std::size_t>(7, data.size() - start);
        std::uint8_t top = 0;
        for (std::size_t j = 0; j < n; ++j)
            if (data[start + j] & 0x80) top |= static_cast<std::uint8_t>(1 << (6 - j));
        out.push_back(top);
        for (std::size_t j = 0; j < n; ++j) out.push_back(data[start + j] & 0x7F);
    }
}

namespace {

// Length of the valid UTF-8 sequence at the start of bytes, or 0 when invalid.
std::size_t sequenceLength(std::span<const std::uint8_t> bytes)
{
    const std::uint8_t b0 = bytes[0];
    std::size_t need;
    std::uint32_t min;
    if (b0 < 0x80) return 1;
    if ((b0 & 0xE0) == 0xC0) { need = 2; min = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { need = 3; min = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { need = 4; min = 0x10000; }
    else return 0;
    if (bytes.size() < need) return 0;
    std::uint32_t cp = b0 & (0x7F >> need);
    for (std::size_t i = 1; i < need; ++i) {
        if ((bytes[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (bytes[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return need;
}

std::span<const std::uint8_t> payloadUpTo(std::span<const std::uint8_t> message, std::uint8_t stop)
{
    if (message.size() <= kPayloadOffset) return {};
    auto payload = message.subspan(kPayloadOffset);
    auto end = std::find(payload.begin(), payload.end(), stop);
    return payload.first(static_cast<std::size_t>(end - payload.begin()));
}

}  // namespace

bool isValidUtf8(std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const std::size_t n = sequenceLength(bytes);
        if (n == 0) return false;
        bytes = bytes.subspan(n);
    }
    return true;
}

std::string utf8WithReplacement(std::span<const std::uint8_t> bytes)
{
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t n = sequenceLength(bytes);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            bytes = bytes.subspan(1);
        } else {
            out.append(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
            bytes = bytes.subspan(n);
        }
    }
    return out;
}

std::optional<std::string> textToEnd(std::span<const std::uint8_t> message)
{
    const auto text = payloadUpTo(message, kEnd);
    if (!isValidUtf8(text)) return std::nullopt;
    return std::string(text.begin(), text.end());
}

std::string textToZero(std::span<const std::uint8_t> message)
{
    auto text = payloadUpTo(message, 0x00);
    // Without a zero byte the text ends at the closing 0xF7.
    if (auto end = std::find(text.begin(), text.end(), kEnd); end != text.end())
        text = text.first(static_cast<std::size_t>(end - text.begin()));
    return utf8WithReplacement(text);
}

}  // namespace qx::sysex
