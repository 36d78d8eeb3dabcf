#pragma once
// The panel's MIDI client on the ALSA sequencer: ports "<client>_InPort" and
// "<client>_OutPort", shaped like the JACK backend. A reader thread copies
// what the input port receives into the input ring (SysEx as it comes, other
// events as their MIDI bytes) and wakes the port follower on the system's
// announcements of ports and clients coming and going.
#include <memory>
#include <string>

#include "midi/MidiBackend.h"

namespace qx {

class AlsaMidiBackend final : public MidiBackend {
public:
    // Null when the sequencer cannot be opened: failure then says why
    // ("/dev/snd/seq cannot be opened (...)"), or is left empty when there is
    // no sequencer at all.
    static std::unique_ptr<AlsaMidiBackend> open(const std::string& clientName, std::string& failure);
    ~AlsaMidiBackend() override;

    bool activate(Hooks hooks) override;
    void close() override;
    bool send(std::span<const std::uint8_t> message) override;

    std::vector<std::string> listSources() override;
    std::vector<std::string> listDestinations() override;
    bool joinSource(const std::string& port) override;
    bool joinDestination(const std::string& port) override;
    void leaveSource(const std::string& port) override;
    void leaveDestination(const std::string& port) override;

    struct Client;

private:
    explicit AlsaMidiBackend(std::unique_ptr<Client> client);
    std::unique_ptr<Client> client_;
};

}  // namespace qx
