#pragma once
// The panel's MIDI input under JACK: one client with one input port, joined to
// every source present at start-up, handing each JACK event's bytes on as they
// come. RtMidi's JACK input keeps a SysEx message that spans events until its
// 0xF7, however long; here nothing is kept, so a message without an end, or a
// huge one, costs no memory beyond the reassembler's limit.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qx {

class JackMidiInput {
public:
    using Delivery = std::function<void(std::span<const std::uint8_t> bytes)>;
    // Null when there is no JACK server or the port cannot be made. The
    // delivery runs on JACK's process thread.
    static std::unique_ptr<JackMidiInput> open(const std::string& clientName, const std::string& portName,
                                               Delivery delivery);
    ~JackMidiInput();
    JackMidiInput(const JackMidiInput&) = delete;
    JackMidiInput& operator=(const JackMidiInput&) = delete;

    // Joins a source port ("client:port") to this input; false if JACK refuses.
    bool connectFrom(const std::string& source);

private:
    struct Jack;
    explicit JackMidiInput(std::unique_ptr<Jack> jack);
    std::unique_ptr<Jack> jack_;
};

}  // namespace qx
