#include "midi/MidiReassembler.h"

#include <vector>

namespace qx {

void MidiReassembler::feed(std::span<const std::uint8_t> packet)
{
    std::vector<Bytes> complete;
    {
        std::lock_guard guard(lock_);
        for (std::uint8_t b : packet) {
            if (b == 0xF7) {
                partialSysEx_.push_back(b);
                complete.push_back(std::move(partialSysEx_));
                partialSysEx_.clear();
            } else if (b == 0xF0) {
                partialSysEx_.assign(1, b);
            } else if (b >= 0xF8) {
                // Real-time bytes (clock, start, stop...) may come inside a
                // SysEx message; the looper's own clock out must not cost replies.
            } else if (b >= 0x80) {
                partialSysEx_.clear();
            } else if (partialSysEx_.size() >= kMaxAssembled) {
                partialSysEx_.clear();  // longer than any of the looper's: dropped as it comes
            } else if (!partialSysEx_.empty()) {
                partialSysEx_.push_back(b);
            }
        }
    }
    // Messages are handed on outside the lock, in arrival order.
    for (const Bytes& message : complete) handler_(message);
}

}  // namespace qx
