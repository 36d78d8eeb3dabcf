#include "midi/RtMidiEndpoints.h"

#include "midi/JackMidiInput.h"

#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <mutex>

namespace qx {
namespace {

void ignoreRtMidiError(RtMidiError::Type, const std::string&, void*) {}

RtMidi::Api chooseApi()
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    auto has = [&](RtMidi::Api api) { return std::find(apis.begin(), apis.end(), api) != apis.end(); };
    if (access("/dev/snd/seq", R_OK | W_OK) == 0 && has(RtMidi::LINUX_ALSA)) return RtMidi::LINUX_ALSA;
    if (has(RtMidi::UNIX_JACK)) return RtMidi::UNIX_JACK;
    return RtMidi::UNSPECIFIED;
}

template <typename Port>
std::vector<std::string> portNames(Port& port)
{
    std::vector<std::string> names;
    const unsigned count = port.getPortCount();
    for (unsigned i = 0; i < count; ++i) names.push_back(port.getPortName(i));
    return names;
}

bool usable(const std::string& name, const std::string& clientName)
{
    return name.find("Midi Through") == std::string::npos && name.find(clientName) == std::string::npos;
}

template <typename Port>
bool openByName(Port& port, const std::string& name, const std::string& ownPortName)
{
    const auto names = portNames(port);
    for (unsigned i = 0; i < names.size(); ++i) {
        if (names[i] == name) {
            port.openPort(i, ownPortName);
            return port.isPortOpen();
        }
    }
    return false;
}

class RtMidiEndpoints final : public MidiEndpoints {
public:
    RtMidiEndpoints(RtMidi::Api api, const std::string& clientName)
    {
        // List everything first: each RtMidi object is a client of its own, and
        // the ports opened below must not show up in these lists.
        std::vector<std::string> destinations, sources;
        {
            RtMidiOut probeOut(api, clientName);
            probeOut.setErrorCallback(ignoreRtMidiError);
            RtMidiIn probeIn(api, clientName);
            probeIn.setErrorCallback(ignoreRtMidiError);
            for (auto& name : portNames(probeOut))
                if (usable(name, clientName)) destinations.push_back(name);
            for (auto& name : portNames(probeIn))
                if (usable(name, clientName)) sources.push_back(name);
        }
        for (const auto& name : destinations) {
            auto out = std::make_unique<RtMidiOut>(api, clientName);
            out->setErrorCallback(ignoreRtMidiError);
            if (openByName(*out, name, clientName + "_OutPort")) {
                outputs_.push_back(std::move(out));
                destinationNames_.push_back(name);
            }
        }
        if (api == RtMidi::UNIX_JACK) {
            openJackInput(clientName, sources);
            return;
        }
        for (const auto& name : sources) {
            auto in = std::make_unique<RtMidiIn>(api, clientName, 1024);
            in->setErrorCallback(ignoreRtMidiError);
            in->ignoreTypes(false, true, true);
            in->setCallback(&RtMidiEndpoints::received, this);
            if (openByName(*in, name, clientName + "_InPort")) {
                inputs_.push_back(std::move(in));
                sourceNames_.push_back(name);
            }
        }
    }

    ~RtMidiEndpoints() override
    {
        jackInput_.reset();
        for (auto& in : inputs_) in->closePort();
        inputs_.clear();
        outputs_.clear();
    }

    void setReceiver(Receiver receiver) override
    {
        std::lock_guard guard(receiverLock_);
        receiver_ = std::move(receiver);
    }
    std::vector<std::string> destinationNames() const override { return destinationNames_; }
    std::vector<std::string> sourceNames() const override { return sourceNames_; }

    bool sendToEach(std::span<const std::uint8_t> message) override
    {
        bool sent = !outputs_.empty();
        for (auto& out : outputs_) {
            try {
                out->sendMessage(message.data(), message.size());
            } catch (const RtMidiError&) {
                sent = false;  // a vanished port loses the message
            }
        }
        return sent;
    }

private:
    void openJackInput(const std::string& clientName, const std::vector<std::string>& sources)
    {
        if (sources.empty()) return;
        jackInput_ = JackMidiInput::open(clientName, clientName + "_InPort",
                                         [this](std::span<const std::uint8_t> bytes) { deliver(bytes); });
        if (!jackInput_) return;
        for (const auto& name : sources)
            if (jackInput_->connectFrom(name)) sourceNames_.push_back(name);
    }

    static void received(double, std::vector<unsigned char>* bytes, void* self)
    {
        if (bytes) static_cast<RtMidiEndpoints*>(self)->deliver(*bytes);
    }

    void deliver(std::span<const std::uint8_t> bytes)
    {
        // Held while delivering, so that once setReceiver(nullptr) returns no
        // delivery is still running.
        std::lock_guard guard(receiverLock_);
        if (receiver_) receiver_(bytes);
    }

    std::vector<std::unique_ptr<RtMidiOut>> outputs_;
    std::vector<std::unique_ptr<RtMidiIn>> inputs_;
    std::unique_ptr<JackMidiInput> jackInput_;  // the sources, under JACK
    std::vector<std::string> destinationNames_;
    std::vector<std::string> sourceNames_;
    std::mutex receiverLock_;
    Receiver receiver_;
};

class NoMidiEndpoints final : public MidiEndpoints {
public:
    void setReceiver(Receiver) override {}
    std::vector<std::string> destinationNames() const override { return {}; }
    std::vector<std::string> sourceNames() const override { return {}; }
    bool sendToEach(std::span<const std::uint8_t>) override { return false; }
};

}  // namespace

std::string systemMidiApiName()
{
    switch (chooseApi()) {
    case RtMidi::LINUX_ALSA: return "alsa";
    case RtMidi::UNIX_JACK: return "jack";
    default: return "none";
    }
}

std::unique_ptr<MidiEndpoints> openSystemMidiEndpoints(const std::string& clientName)
{
    const RtMidi::Api api = chooseApi();
    if (api == RtMidi::UNSPECIFIED) return std::make_unique<NoMidiEndpoints>();
    try {
        return std::make_unique<RtMidiEndpoints>(api, clientName);
    } catch (const RtMidiError&) {
        return std::make_unique<NoMidiEndpoints>();
    }
}

}  // namespace qx
