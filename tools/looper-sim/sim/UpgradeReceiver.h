#pragma once
// The looper's firmware receiver. Over MIDI a firmware arrives as SysEx
// messages the looper does not otherwise understand; each is appended whole to
// the image. Over the network the panel announces the size, and the file then
// comes in numbered slices of 512 bytes, one per acknowledgement.
#include <cstdint>
#include <span>
#include <string>

#include "common/Bytes.h"

namespace qx::sim {

inline constexpr std::size_t kUpgradeSliceSize = 512;
inline constexpr std::int64_t kMaxUpgradeSize = 1'000'000;

struct UpgradeImage {
    Bytes bytes;
    // Network form: every announced byte has arrived. The MIDI form has no end
    // marker and never counts as complete.
    bool complete = false;
    std::string via = "none";  // "none", "midi" or "udp"
    std::int64_t announced = 0;
};

class UpgradeReceiver {
public:
    enum class SliceVerdict {
        Stored,     // the slice that was expected: acknowledge it
        Duplicate,  // an earlier slice again: acknowledge it again
        Unexpected, // anything else: no answer
    };

    // MIDI form: appends the whole message. A network image in progress is
    // dropped first.
    void appendMessage(std::span<const std::uint8_t> message);

    // Network form: prepares for `size` bytes, expecting slice 1. False (and
    // nothing changes) for a size outside 0 to 1,000,000.
    bool announce(std::int64_t size);
    SliceVerdict acceptSlice(int number, std::span<const std::uint8_t> data);
    // Starts the network transfer over: slice 1 is expected again.
    void restart();

    UpgradeImage image() const;

private:
    enum class Mode { None, Midi, Network };
    Mode mode_ = Mode::None;
    Bytes bytes_;
    std::int64_t announced_ = 0;
    int expected_ = 1;
};

}  // namespace qx::sim
