#include "midi/JackMidiInput.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <cerrno>

namespace qx {

struct JackMidiInput::Jack {
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    Delivery delivery;

    static int process(jack_nframes_t frames, void* self)
    {
        auto* jack = static_cast<Jack*>(self);
        void* buffer = jack_port_get_buffer(jack->port, frames);
        const std::uint32_t events = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < events; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) == 0 && event.size > 0)
                jack->delivery(std::span<const std::uint8_t>(event.buffer, event.size));
        }
        return 0;
    }
};

std::unique_ptr<JackMidiInput> JackMidiInput::open(const std::string& clientName, const std::string& portName,
                                                   Delivery delivery)
{
    auto jack = std::make_unique<Jack>();
    jack->delivery = std::move(delivery);
    jack->client = jack_client_open(clientName.c_str(), JackNoStartServer, nullptr);
    if (!jack->client) return nullptr;
    std::unique_ptr<JackMidiInput> input(new JackMidiInput(std::move(jack)));
    Jack& j = *input->jack_;
    j.port = jack_port_register(j.client, portName.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (!j.port || jack_set_process_callback(j.client, &Jack::process, &j) != 0 || jack_activate(j.client) != 0)
        return nullptr;
    return input;
}

JackMidiInput::JackMidiInput(std::unique_ptr<Jack> jack) : jack_(std::move(jack)) {}

JackMidiInput::~JackMidiInput()
{
    // Closing deactivates first: no delivery runs once it returns.
    if (jack_ && jack_->client) jack_client_close(jack_->client);
}

bool JackMidiInput::connectFrom(const std::string& source)
{
    const int result = jack_connect(jack_->client, source.c_str(), jack_port_name(jack_->port));
    return result == 0 || result == EEXIST;
}

}  // namespace qx
