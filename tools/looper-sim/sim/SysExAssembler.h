#pragma once
// Whole SysEx messages out of MIDI input however it is split. RtMidi normally
// hands over whole messages; this keeps the looper safe when it does not.
// Real-time bytes (0xF8 and above) may sit inside a message and are skipped;
// any other status byte abandons the message being assembled. Used from one
// input thread.
#include <cstdint>
#include <span>
#include <vector>

#include "common/Bytes.h"

namespace qx::sim {

class SysExAssembler {
public:
    // Every message completed by these bytes, in order.
    std::vector<Bytes> feed(std::span<const std::uint8_t> bytes);

private:
    Bytes partial_;
    bool inside_ = false;
};

}  // namespace qx::sim
