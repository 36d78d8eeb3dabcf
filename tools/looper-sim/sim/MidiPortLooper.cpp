#include "sim/MidiPortLooper.h"

#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "sim/DeliveryQueue.h"
#include "sim/SysExAssembler.h"

namespace qx::sim {
namespace {

RtMidi::Api chooseApi(MidiBackend backend)
{
    std::vector<RtMidi::Api> compiled;
    RtMidi::getCompiledApi(compiled);
    auto has = [&](RtMidi::Api api) { return std::find(compiled.begin(), compiled.end(), api) != compiled.end(); };
    switch (backend) {
    case MidiBackend::Jack:
        if (has(RtMidi::UNIX_JACK)) return RtMidi::UNIX_JACK;
        throw std::runtime_error("this RtMidi has no JACK support");
    case MidiBackend::Alsa:
        if (has(RtMidi::LINUX_ALSA)) return RtMidi::LINUX_ALSA;
        throw std::runtime_error("this RtMidi has no ALSA support");
    case MidiBackend::Automatic:
        break;
    }
    // Without /dev/snd/seq the ALSA backend fails even when JACK runs.
    if (access("/dev/snd/seq", R_OK | W_OK) == 0 && has(RtMidi::LINUX_ALSA)) return RtMidi::LINUX_ALSA;
    if (has(RtMidi::UNIX_JACK)) return RtMidi::UNIX_JACK;
    throw std::runtime_error("no MIDI system available");
}

}  // namespace

struct MidiPortLooper::Ports {
    std::shared_ptr<LooperEngine> engine;
    RtMidi::Api api = RtMidi::UNSPECIFIED;
    SysExAssembler assembler;  // touched only by RtMidi's input thread
    std::unique_ptr<RtMidiOut> out;
    std::shared_ptr<DeliveryQueue> queue;
    std::unique_ptr<RtMidiIn> in;
    int listenerId = 0;

    // Only the queue's thread sends, so RtMidiOut is never used concurrently.
    void send(const Bytes& bytes)
    {
        try {
            if (bytes.size() > 2 && engine->faults().clockInSysEx) {
                // As a looper sending MIDI clock does: the tick goes out
                // between two parts of the message.
                const std::size_t half = bytes.size() / 2;
                const std::uint8_t tick = 0xF8;
                out->sendMessage(bytes.data(), half);
                out->sendMessage(&tick, 1);
                out->sendMessage(bytes.data() + half, bytes.size() - half);
                return;
            }
            out->sendMessage(bytes.data(), bytes.size());
        } catch (const RtMidiError&) {
            // A port that went away loses the reply, as a cable would.
        }
    }

    static void received(double, std::vector<unsigned char>* bytes, void* self)
    {
        auto* ports = static_cast<Ports*>(self);
        if (!bytes) return;
        for (const Bytes& message : ports->assembler.feed(*bytes))
            for (Reply& reply : ports->engine->receiveMidi(message))
                ports->queue->post(reply.delay, [ports, sent = std::move(reply.bytes)] { ports->send(sent); });
    }
};

MidiPortLooper::MidiPortLooper(std::shared_ptr<LooperEngine> engine, MidiBackend backend, const std::string& portName)
    : ports_(std::make_unique<Ports>())
{
    ports_->engine = std::move(engine);
    ports_->api = chooseApi(backend);
    try {
        ports_->out = std::make_unique<RtMidiOut>(ports_->api, portName);
        ports_->out->openVirtualPort(portName);
        ports_->queue = std::make_shared<DeliveryQueue>();
        ports_->in = std::make_unique<RtMidiIn>(ports_->api, portName, 1024);
        ports_->in->ignoreTypes(false, true, true);  // SysEx in; clock and sensing out
        ports_->in->setCallback(&Ports::received, ports_.get());
        ports_->in->openVirtualPort(portName);
    } catch (const RtMidiError& error) {
        if (ports_->in) ports_->in.reset();
        if (ports_->queue) ports_->queue->stop();
        throw std::runtime_error("cannot open the MIDI ports: " + error.getMessage());
    }
    std::weak_ptr<DeliveryQueue> queue = ports_->queue;
    Ports* ports = ports_.get();
    ports_->listenerId = ports_->engine->addEventListener([queue, ports](const Bytes& event) {
        // The queue stops before the ports go, so a live queue means live ports.
        if (auto live = queue.lock()) live->post(std::chrono::milliseconds(0), [ports, event] { ports->send(event); });
    });
}

MidiPortLooper::~MidiPortLooper()
{
    ports_->engine->removeEventListener(ports_->listenerId);
    ports_->in->closePort();
    ports_->in.reset();
    ports_->queue->stop();
    ports_->out.reset();
}

std::string MidiPortLooper::backendName() const { return ports_->api == RtMidi::UNIX_JACK ? "jack" : "alsa"; }

}  // namespace qx::sim
