#pragma once
// Byte lists as text for the journal and the control protocol, and the hash
// that stands for a large block of bytes in one short line.
#include <cstdint>
#include <span>
#include <string>

namespace qx::sim {

// "F0 00 02 33 02 F7": upper-case pairs separated by one space.
std::string hexBytes(std::span<const std::uint8_t> bytes);
// True when every byte is a printable ASCII character (space to tilde).
bool isPrintableText(std::span<const std::uint8_t> bytes);
// 64-bit FNV-1a, written as 16 lower-case hex digits.
std::uint64_t fnv1a64(std::span<const std::uint8_t> bytes);
std::string hashText(std::span<const std::uint8_t> bytes);

}  // namespace qx::sim
