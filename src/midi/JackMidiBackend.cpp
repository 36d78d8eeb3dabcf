#include "midi/JackMidiBackend.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <optional>

namespace qx {
namespace {

std::atomic<bool> jackVerbose{false};

// JACK prints its errors and notices on standard error by default (about
// twenty lines when no server runs); the panel keeps them for --verbose.
void jackMessage(const char* text)
{
    if (jackVerbose.load(std::memory_order_relaxed)) std::fprintf(stderr, "JACK: %s\n", text);
}

std::vector<std::string> portList(jack_client_t* client, unsigned long flags)
{
    std::vector<std::string> names;
    if (const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags)) {
        for (const char** port = ports; *port; ++port) names.emplace_back(*port);
        jack_free(ports);
    }
    return names;
}

}  // namespace

struct JackMidiBackend::Client {
    static constexpr std::size_t kOutputBytes = 64 * 1024;

    jack_client_t* jack = nullptr;
    jack_port_t* in = nullptr;
    jack_port_t* out = nullptr;
    std::optional<Hooks> hooks;
    EventRing output{kOutputBytes};
    std::mutex sendLock;  // one producer for the output ring
    bool active = false;

    // JACK's real-time thread: copies, wakes, writes; no lock, no allocation, no I/O.
    static int process(jack_nframes_t frames, void* self)
    {
        auto* client = static_cast<Client*>(self);
        void* inBuffer = jack_port_get_buffer(client->in, frames);
        const std::uint32_t events = jack_midi_get_event_count(inBuffer);
        for (std::uint32_t i = 0; i < events; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, inBuffer, i) == 0 && event.size > 0)
                client->hooks->input.push(std::span<const std::uint8_t>(event.buffer, event.size));
        }
        if (events > 0) client->hooks->received.post();

        void* outBuffer = jack_port_get_buffer(client->out, frames);
        jack_midi_clear_buffer(outBuffer);
        std::size_t size = 0;
        while (client->output.peekSize(size)) {
            // What does not fit this period leaves in the next one.
            jack_midi_data_t* slot = jack_midi_event_reserve(outBuffer, 0, size);
            if (!slot) break;
            client->output.pop(std::span<std::uint8_t>(slot, size));
        }
        return 0;
    }

    static void portRegistered(jack_port_id_t, int, void* self)
    {
        static_cast<Client*>(self)->hooks->portsChanged.post();
    }
};

std::unique_ptr<JackMidiBackend> JackMidiBackend::open(const std::string& clientName, bool verbose)
{
    jackVerbose.store(verbose);
    jack_set_error_function(jackMessage);
    jack_set_info_function(jackMessage);
    auto client = std::make_unique<Client>();
    client->jack = jack_client_open(clientName.c_str(), JackNoStartServer, nullptr);
    if (!client->jack) return nullptr;
    std::unique_ptr<JackMidiBackend> backend(new JackMidiBackend(std::move(client)));
    Client& c = *backend->client_;
    c.in = jack_port_register(c.jack, (clientName + "_InPort").c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    c.out = jack_port_register(c.jack, (clientName + "_OutPort").c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!c.in || !c.out) return nullptr;
    return backend;
}

JackMidiBackend::JackMidiBackend(std::unique_ptr<Client> client) : client_(std::move(client)) {}

JackMidiBackend::~JackMidiBackend() { close(); }

bool JackMidiBackend::activate(Hooks hooks)
{
    Client& c = *client_;
    c.hooks.emplace(hooks);
    if (jack_set_process_callback(c.jack, &Client::process, &c) != 0 ||
        jack_set_port_registration_callback(c.jack, &Client::portRegistered, &c) != 0 || jack_activate(c.jack) != 0)
        return false;
    c.active = true;
    return true;
}

void JackMidiBackend::close()
{
    // Closing deactivates first: no callback runs once it returns.
    if (client_ && client_->jack) jack_client_close(client_->jack);
    if (client_) client_->jack = nullptr;
}

bool JackMidiBackend::send(std::span<const std::uint8_t> message)
{
    std::lock_guard guard(client_->sendLock);
    return client_->jack && client_->active && client_->output.push(message);
}

std::vector<std::string> JackMidiBackend::listSources() { return portList(client_->jack, JackPortIsOutput); }

std::vector<std::string> JackMidiBackend::listDestinations() { return portList(client_->jack, JackPortIsInput); }

bool JackMidiBackend::joinSource(const std::string& port)
{
    const int result = jack_connect(client_->jack, port.c_str(), jack_port_name(client_->in));
    return result == 0 || result == EEXIST;
}

bool JackMidiBackend::joinDestination(const std::string& port)
{
    const int result = jack_connect(client_->jack, jack_port_name(client_->out), port.c_str());
    return result == 0 || result == EEXIST;
}

void JackMidiBackend::leaveSource(const std::string& port)
{
    jack_disconnect(client_->jack, port.c_str(), jack_port_name(client_->in));
}

void JackMidiBackend::leaveDestination(const std::string& port)
{
    jack_disconnect(client_->jack, jack_port_name(client_->out), port.c_str());
}

}  // namespace qx
