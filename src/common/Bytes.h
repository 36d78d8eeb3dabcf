#pragma once
// One complete message as it travels to or from the looper: 0xF0 through 0xF7
// for SysEx, or the raw bytes of one datagram.
#include <cstdint>
#include <vector>

namespace qx {
using Bytes = std::vector<std::uint8_t>;
}
