#pragma once
// The MIDI destinations and sources present at start-up, behind one small
// interface: the system's ports (RtMidi), the in-process simulated looper, or a
// test double.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qx {

class MidiEndpoints {
public:
    using Receiver = std::function<void(std::span<const std::uint8_t> bytes)>;
    virtual ~MidiEndpoints() = default;
    // Every byte received from any source goes to the receiver, in arrival order
    // per source. May be called on several platform threads.
    virtual void setReceiver(Receiver receiver) = 0;
    virtual std::vector<std::string> destinationNames() const = 0;
    virtual std::vector<std::string> sourceNames() const = 0;
    // Sends the message to each destination, in the order they were found;
    // false when there is none, or a send failed (a port that went away).
    virtual bool sendToEach(std::span<const std::uint8_t> message) = 0;
};

}  // namespace qx
