#pragma once
// Rebuilds whole SysEx messages from MIDI bytes split in any way: a message may
// span many packets, several may share one. Real-time bytes (0xF8 to 0xFF) are
// skipped wherever they come; any other status byte but the closing 0xF7
// drops the message being assembled (a lost input event is marked by 0xF4,
// an undefined status, for that reason). Bytes from every source feed the one
// buffer.
#include <cstddef>
#include <functional>
#include <mutex>
#include <span>

#include "common/Bytes.h"

namespace qx {

class MidiReassembler {
public:
    // The looper's longest reply is 159 bytes; a message growing past this is
    // dropped as it comes, so a stream without an end costs no memory.
    static constexpr std::size_t kMaxAssembled = 64 * 1024;
    using Handler = std::function<void(const Bytes& message)>;
    explicit MidiReassembler(Handler handler) : handler_(std::move(handler)) {}

    void feed(std::span<const std::uint8_t> packet);

private:
    Handler handler_;
    // Fed by the receive thread, or by a test double's thread; the lock keeps the buffer whole.
    std::mutex lock_;
    Bytes partialSysEx_;
};

}  // namespace qx
