#include "midi/AlsaMidiBackend.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace qx {
namespace {

constexpr const char* kSequencer = "/dev/snd/seq";

// Silences ALSA's own error printing (it would print on standard error).
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

std::string lowerFirst(std::string text)
{
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

// Why the sequencer device cannot be used; empty when it can or does not exist.
std::string sequencerFailure()
{
    const int fd = ::open(kSequencer, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    if (errno == ENOENT || errno == ENODEV) return {};
    std::string why = std::string(kSequencer) + " cannot be opened (" + lowerFirst(std::strerror(errno)) + ")";
    if (errno == EACCES || errno == EPERM) why += ": is this user in the audio group?";
    return why;
}

}  // namespace

struct AlsaMidiBackend::Client {
    snd_seq_t* seq = nullptr;
    int clientId = -1;
    int in = -1;
    int out = -1;
    snd_midi_event_t* decoder = nullptr;  // reader thread's own
    std::optional<Hooks> hooks;
    std::thread reader;
    std::atomic<bool> stopping{false};
    std::mutex sendLock;

    // Every port of every other client, by "client name:port name", until
    // visit says stop.
    void eachPort(const std::function<bool(const std::string&, const snd_seq_port_info_t&)>& visit);
    // A port by "client name:port name", as listed.
    bool address(const std::string& name, snd_seq_addr_t& found);
    std::vector<std::string> list(unsigned int capability);
    void readLoop();
    void take(const snd_seq_event_t& event);
};

void AlsaMidiBackend::Client::eachPort(const std::function<bool(const std::string&, const snd_seq_port_info_t&)>& visit)
{
    snd_seq_client_info_t* clientInfo;
    snd_seq_port_info_t* portInfo;
    snd_seq_client_info_alloca(&clientInfo);
    snd_seq_port_info_alloca(&portInfo);
    snd_seq_client_info_set_client(clientInfo, -1);
    while (snd_seq_query_next_client(seq, clientInfo) >= 0) {
        const int id = snd_seq_client_info_get_client(clientInfo);
        if (id == SND_SEQ_CLIENT_SYSTEM || id == clientId) continue;
        snd_seq_port_info_set_client(portInfo, id);
        snd_seq_port_info_set_port(portInfo, -1);
        while (snd_seq_query_next_port(seq, portInfo) >= 0) {
            const std::string name =
                std::string(snd_seq_client_info_get_name(clientInfo)) + ":" + snd_seq_port_info_get_name(portInfo);
            if (!visit(name, *portInfo)) return;
        }
    }
}

std::vector<std::string> AlsaMidiBackend::Client::list(unsigned int capability)
{
    std::vector<std::string> names;
    eachPort([&](const std::string& name, const snd_seq_port_info_t& port) {
        if ((snd_seq_port_info_get_capability(&port) & capability) == capability &&
            (snd_seq_port_info_get_type(&port) & SND_SEQ_PORT_TYPE_MIDI_GENERIC))
            names.push_back(name);
        return true;
    });
    return names;
}

bool AlsaMidiBackend::Client::address(const std::string& wanted, snd_seq_addr_t& found)
{
    bool known = false;
    eachPort([&](const std::string& name, const snd_seq_port_info_t& port) {
        if (name != wanted) return true;
        found = *snd_seq_port_info_get_addr(&port);
        known = true;
        return false;
    });
    return known;
}

void AlsaMidiBackend::Client::take(const snd_seq_event_t& event)
{
    switch (event.type) {
    case SND_SEQ_EVENT_CLIENT_START:
    case SND_SEQ_EVENT_CLIENT_EXIT:
    case SND_SEQ_EVENT_PORT_START:
    case SND_SEQ_EVENT_PORT_EXIT:
    case SND_SEQ_EVENT_PORT_CHANGE:
        hooks->portsChanged.post();
        return;
    case SND_SEQ_EVENT_SYSEX:
        hooks->input.push(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(event.data.ext.ptr),
                                                        event.data.ext.len));
        break;
    default: {
        // Other events (clock ticks among them) as their MIDI bytes, so the
        // reassembler sees the same stream as under JACK.
        std::uint8_t bytes[16];
        const long count = snd_midi_event_decode(decoder, bytes, sizeof bytes, &event);
        if (count > 0) hooks->input.push(std::span<const std::uint8_t>(bytes, static_cast<std::size_t>(count)));
        break;
    }
    }
    hooks->received.post();
}

void AlsaMidiBackend::Client::readLoop()
{
    const int count = snd_seq_poll_descriptors_count(seq, POLLIN);
    std::vector<pollfd> fds(static_cast<std::size_t>(count > 0 ? count : 0));
    snd_seq_poll_descriptors(seq, fds.data(), static_cast<unsigned int>(fds.size()), POLLIN);
    while (!stopping.load()) {
        if (poll(fds.data(), fds.size(), 200) <= 0) continue;
        snd_seq_event_t* event = nullptr;
        while (snd_seq_event_input(seq, &event) >= 0 && event) take(*event);
    }
}

std::unique_ptr<AlsaMidiBackend> AlsaMidiBackend::open(const std::string& clientName, std::string& failure)
{
    failure = sequencerFailure();
    if (!failure.empty() || access(kSequencer, F_OK) != 0) return nullptr;
    snd_lib_error_set_handler(quietAlsa);
    auto client = std::make_unique<Client>();
    if (snd_seq_open(&client->seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) {
        failure = std::string(kSequencer) + " cannot be opened";
        return nullptr;
    }
    std::unique_ptr<AlsaMidiBackend> backend(new AlsaMidiBackend(std::move(client)));
    Client& c = *backend->client_;
    snd_seq_set_client_name(c.seq, clientName.c_str());
    c.clientId = snd_seq_client_id(c.seq);
    c.in = snd_seq_create_simple_port(c.seq, (clientName + "_InPort").c_str(),
                                      SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                      SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    c.out = snd_seq_create_simple_port(c.seq, (clientName + "_OutPort").c_str(),
                                       SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (c.in < 0 || c.out < 0 || snd_midi_event_new(256, &c.decoder) < 0) {
        failure = "the sequencer refused the panel's ports";
        return nullptr;
    }
    snd_midi_event_no_status(c.decoder, 1);  // every event with its status byte
    // The system's announcements of ports and clients arrive on the input port.
    snd_seq_connect_from(c.seq, c.in, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
    return backend;
}

AlsaMidiBackend::AlsaMidiBackend(std::unique_ptr<Client> client) : client_(std::move(client)) {}

AlsaMidiBackend::~AlsaMidiBackend()
{
    close();
    if (client_->decoder) snd_midi_event_free(client_->decoder);
    if (client_->seq) snd_seq_close(client_->seq);
}

bool AlsaMidiBackend::activate(Hooks hooks)
{
    client_->hooks.emplace(hooks);
    client_->reader = std::thread([c = client_.get()] { c->readLoop(); });
    return true;
}

void AlsaMidiBackend::close()
{
    client_->stopping.store(true);
    if (client_->reader.joinable()) client_->reader.join();
}

bool AlsaMidiBackend::send(std::span<const std::uint8_t> message)
{
    std::lock_guard guard(client_->sendLock);
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_source(&event, static_cast<unsigned char>(client_->out));
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    snd_seq_ev_set_sysex(&event, static_cast<unsigned int>(message.size()), const_cast<std::uint8_t*>(message.data()));
    return snd_seq_event_output_direct(client_->seq, &event) >= 0;
}

std::vector<std::string> AlsaMidiBackend::listSources()
{
    return client_->list(SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ);
}

std::vector<std::string> AlsaMidiBackend::listDestinations()
{
    return client_->list(SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
}

bool AlsaMidiBackend::joinSource(const std::string& port)
{
    snd_seq_addr_t address;
    if (!client_->address(port, address)) return false;
    const int result = snd_seq_connect_from(client_->seq, client_->in, address.client, address.port);
    return result >= 0 || result == -EBUSY;  // already joined
}

bool AlsaMidiBackend::joinDestination(const std::string& port)
{
    snd_seq_addr_t address;
    if (!client_->address(port, address)) return false;
    const int result = snd_seq_connect_to(client_->seq, client_->out, address.client, address.port);
    return result >= 0 || result == -EBUSY;
}

void AlsaMidiBackend::leaveSource(const std::string& port)
{
    snd_seq_addr_t address;
    if (client_->address(port, address))
        snd_seq_disconnect_from(client_->seq, client_->in, address.client, address.port);
}

void AlsaMidiBackend::leaveDestination(const std::string& port)
{
    snd_seq_addr_t address;
    if (client_->address(port, address))
        snd_seq_disconnect_to(client_->seq, client_->out, address.client, address.port);
}

}  // namespace qx
