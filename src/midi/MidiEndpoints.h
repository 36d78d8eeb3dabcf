#pragma once
// The MIDI destinations and sources, behind one small interface: the
// system's ports (JACK or the ALSA sequencer), the in-process simulated
// looper, or a test double.
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
    using DevicesListener = std::function<void(std::vector<std::string> devices)>;
    virtual ~MidiEndpoints() = default;
    // Every byte received from any source goes to the receiver, in arrival
    // order, on one ordinary thread of the endpoints.
    virtual void setReceiver(Receiver receiver) = 0;
    // The ports in use now ("device:port").
    virtual std::vector<std::string> destinationNames() const = 0;
    virtual std::vector<std::string> sourceNames() const = 0;
    // Sends the message to each destination; false when there is none, or a
    // send failed (a port that went away).
    virtual bool sendToEach(std::span<const std::uint8_t> message) = 0;

    // Ports come and go while the panel runs; the listener hears the devices
    // present (by name) after each change, and once at the start.
    virtual void setDevicesListener(DevicesListener) {}
    // Only this device's ports from now on; empty for every port.
    virtual void chooseDevice(const std::string&) {}
    // Why there is no MIDI at all ("No MIDI: ..."); empty when there is.
    virtual std::string noMidiReason() const { return {}; }
};

}  // namespace qx
