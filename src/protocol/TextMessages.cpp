#include "protocol/TextMessages.h"

#include <vector>

#include "protocol/SysExCodec.h"

namespace qx::net {
namespace {

// Byte offset where each character of a valid UTF-8 text begins.
std::vector<std::size_t> characterStarts(const std::string& text)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    return starts;
}

}  // namespace

std::span<const std::uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::optional<std::string> parseIdentityReply(std::span<const std::uint8_t> datagram)
{
    const std::string text = sysex::utf8WithReplacement(datagram);
    if (!text.starts_with("<id>")) return std::nullopt;
    const std::size_t close = text.find('<', 4);
    if (close == std::string::npos) return std::nullopt;
    return text.substr(4, close - 4);
}

std::optional<std::string> logReplyText(std::span<const std::uint8_t> datagram)
{
    const std::string text = sysex::utf8WithReplacement(datagram);
    const std::vector<std::size_t> starts = characterStarts(text);
    constexpr std::size_t kHead = 5;  // "<log>"
    constexpr std::size_t kTail = 7;  // "</log>" and the terminating zero
    if (starts.size() < 13 || text.find("<log>") == std::string::npos) return std::nullopt;
    const std::size_t from = starts[kHead];
    const std::size_t to = starts[starts.size() - kTail];
    return text.substr(from, to - from);
}

}  // namespace qx::net
