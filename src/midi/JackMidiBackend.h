#pragma once
// The panel's MIDI client on a JACK server: ports "<client>_InPort" and
// "<client>_OutPort". JACK's real-time thread copies what the input port
// received into the input ring and writes what the output ring holds to the
// output port; JACK's port registration callback wakes the port follower.
// JACK's own messages are silent unless verbose.
#include <memory>
#include <string>

#include "midi/MidiBackend.h"

namespace qx {

class JackMidiBackend final : public MidiBackend {
public:
    // Null when no JACK server runs or the ports cannot be made.
    static std::unique_ptr<JackMidiBackend> open(const std::string& clientName, bool verbose);
    ~JackMidiBackend() override;

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
    explicit JackMidiBackend(std::unique_ptr<Client> client);
    std::unique_ptr<Client> client_;
};

}  // namespace qx
