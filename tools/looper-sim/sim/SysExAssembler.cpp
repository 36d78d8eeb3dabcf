#include "sim/SysExAssembler.h"

namespace qx::sim {

std::vector<Bytes> SysExAssembler::feed(std::span<const std::uint8_t> bytes)
{
    std::vector<Bytes> complete;
    for (std::uint8_t b : bytes) {
        if (b == 0xF0) {
            partial_.assign(1, b);
            inside_ = true;
        } else if (b == 0xF7) {
            if (inside_) {
                partial_.push_back(b);
                complete.push_back(std::move(partial_));
            }
            partial_.clear();
            inside_ = false;
        } else if (b >= 0xF8) {
            // Clock and other real-time bytes may interrupt a message.
        } else if (b >= 0x80) {
            partial_.clear();
            inside_ = false;
        } else if (inside_) {
            partial_.push_back(b);
        }
    }
    return complete;
}

}  // namespace qx::sim
