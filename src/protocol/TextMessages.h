#pragma once
// The text side of the network protocol: the queries the link sends and the
// identity and log replies it reads. Texts travel without a terminating byte.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qx::net {

inline constexpr std::string_view kIdentityQuery = "<query>id</query>";
inline constexpr std::string_view kStatusQuery = "<query>status compact</query>";
inline constexpr std::string_view kLogQuery = "<query>log</query>";

std::span<const std::uint8_t> bytesOf(std::string_view text);

// The looper's identity from a reply "<id>NAME</id>": the text between "<id>"
// and the next "<". Nothing when the reply has another form.
std::optional<std::string> parseIdentityReply(std::span<const std::uint8_t> datagram);

// The log text carried by a reply "<log>TEXT</log>" (the looper may add one
// terminating zero byte): the characters after the first five and before the
// last seven. Nothing when the datagram is not a log reply.
std::optional<std::string> logReplyText(std::span<const std::uint8_t> datagram);

}  // namespace qx::net
