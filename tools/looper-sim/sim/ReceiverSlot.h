#pragma once
// The panel's receiver as seen from the simulator's delivery thread. A
// delivery calls the receiver without holding any lock (the receiver takes
// locks of its own); replacing the receiver waits until a delivery with the
// old one has finished, so that once set() returns the old receiver is never
// called again. One thread delivers.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>

#include "midi/MidiEndpoints.h"

namespace qx::sim {

class ReceiverSlot {
public:
    void set(MidiEndpoints::Receiver receiver);
    void deliver(std::span<const std::uint8_t> bytes);

private:
    std::mutex lock_;
    std::condition_variable idle_;
    MidiEndpoints::Receiver receiver_;
    bool delivering_ = false;
    std::thread::id deliverer_;
};

}  // namespace qx::sim
