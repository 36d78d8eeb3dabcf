#pragma once
// The looper's SysEx envelope and the value encodings used inside payloads.
// Every message is 0xF0, the manufacturer 0x00 0x02 0x33, a type byte, data
// bytes below 0x80, and 0xF7.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/Bytes.h"

namespace qx::sysex {

inline constexpr std::uint8_t kStart = 0xF0;
inline constexpr std::uint8_t kEnd = 0xF7;
inline constexpr std::uint8_t kManufacturer[3] = {0x00, 0x02, 0x33};
inline constexpr std::size_t kMinLength = 6;
inline constexpr std::size_t kTypeOffset = 4;
inline constexpr std::size_t kPayloadOffset = 5;
// One MIDI packet carries at most this many bytes; no message may be longer.
inline constexpr std::size_t kMaxMessage = 256;

// At least six bytes and the looper's manufacturer identifier at 1..3.
bool hasLooperEnvelope(std::span<const std::uint8_t> message);

// A message of the given type around the payload bytes.
Bytes message(std::uint8_t type, std::span<const std::uint8_t> payload = {});

// 7-bit pair: 0..16383 in two bytes, high group first; 0x7F 0x7F stands for -1.
void appendPair(Bytes& out, std::int64_t value);
std::int64_t decodePair(std::uint8_t high, std::uint8_t low);
// The pair at the offset, or nullopt when it lies outside the message.
std::optional<std::int64_t> pairAt(std::span<const std::uint8_t> message, std::size_t offset);

// Five-group count: up to 35 bits in five bytes, lowest group first.
std::int64_t decodeFiveGroups(std::span<const std::uint8_t, 5> bytes);
void appendFiveGroups(Bytes& out, std::int64_t value);

// Packed groups: each group of eight bytes carries seven data bytes; the first
// byte of a group holds their top bits (bit 6 for data byte 0 ... bit 0 for
// data byte 6). Groups follow one another from the offset until the byte that
// would start the next group is 0xF7 (or the message ends).
Bytes unpackGroups(std::span<const std::uint8_t> message, std::size_t offset);
void appendPackedGroups(Bytes& out, std::span<const std::uint8_t> data);

// Text to end: bytes from offset 5 up to the first 0xF7, read as UTF-8.
// Empty result when the bytes are not valid UTF-8.
std::optional<std::string> textToEnd(std::span<const std::uint8_t> message);
// Text to zero: bytes from offset 5 up to the first 0x00 (or the closing 0xF7
// when there is none), invalid UTF-8 sequences replaced by U+FFFD.
std::string textToZero(std::span<const std::uint8_t> message);

// UTF-8 helpers shared with the network link's text replies.
bool isValidUtf8(std::span<const std::uint8_t> bytes);
std::string utf8WithReplacement(std::span<const std::uint8_t> bytes);

}  // namespace qx::sysex
