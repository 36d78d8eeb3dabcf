#include "midi/SystemMidiEndpoints.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "midi/AlsaMidiBackend.h"
#include "midi/JackMidiBackend.h"

namespace qx {
namespace {

// A lost input event reaches the reassembler as this undefined status byte,
// which drops the message it was part of.
constexpr std::uint8_t kGapMarker = 0xF4;

class SystemMidiEndpoints final : public MidiEndpoints {
public:
    static constexpr std::size_t kInputBytes = 256 * 1024;

    SystemMidiEndpoints(std::unique_ptr<MidiBackend> backend, const SystemMidiOptions& options)
        : backend_(std::move(backend)), follower_(*backend_, options.clientName, options.device)
    {
        backend_->activate({input_, received_, portsChanged_});
        follower_.refresh();
        receiveThread_ = std::thread([this] { receiveLoop(); });
        portThread_ = std::thread([this] { followPorts(); });
    }

    ~SystemMidiEndpoints() override
    {
        // The follower uses the client, so it stops first; once the client is
        // closed no callback runs, and the receive thread can stop.
        stopping_.store(true);
        portsChanged_.post();
        portThread_.join();
        backend_->close();
        received_.post();
        receiveThread_.join();
    }

    void setReceiver(Receiver receiver) override
    {
        std::lock_guard guard(receiverLock_);
        receiver_ = std::move(receiver);
    }
    std::vector<std::string> destinationNames() const override { return follower_.destinations(); }
    std::vector<std::string> sourceNames() const override { return follower_.sources(); }

    bool sendToEach(std::span<const std::uint8_t> message) override
    {
        return !follower_.destinations().empty() && backend_->send(message);
    }

    void setDevicesListener(DevicesListener listener) override
    {
        std::lock_guard guard(listenerLock_);
        listener_ = std::move(listener);
        if (listener_) listener_(follower_.devices());
    }

    void chooseDevice(const std::string& device) override
    {
        follower_.choose(device);
        portsChanged_.post();
    }

private:
    void receiveLoop()
    {
        std::vector<std::uint8_t> event;
        while (!stopping_.load()) {
            received_.waitFor(std::chrono::milliseconds(200));
            std::size_t size = 0;
            while (input_.peekSize(size)) {
                event.resize(size);
                input_.pop(event);
                deliver(size == 0 ? std::span<const std::uint8_t>(&kGapMarker, 1) : std::span(event));
            }
        }
    }

    void deliver(std::span<const std::uint8_t> bytes)
    {
        // Held while delivering, so that once setReceiver(nullptr) returns no
        // delivery is still running.
        std::lock_guard guard(receiverLock_);
        if (receiver_) receiver_(bytes);
    }

    void followPorts()
    {
        while (!stopping_.load()) {
            const bool woken = portsChanged_.waitFor(std::chrono::milliseconds(500));
            if (stopping_.load()) break;
            if (!woken) continue;
            // Every port registered or gone wakes this thread; joining is not
            // allowed inside the MIDI system's own notification.
            if (!follower_.refresh()) continue;
            std::lock_guard guard(listenerLock_);
            if (listener_) listener_(follower_.devices());
        }
    }

    EventRing input_{kInputBytes};
    Wakeup received_;
    Wakeup portsChanged_;
    std::unique_ptr<MidiBackend> backend_;
    MidiPortFollower follower_;
    std::atomic<bool> stopping_{false};
    std::mutex receiverLock_;
    Receiver receiver_;
    std::mutex listenerLock_;
    DevicesListener listener_;
    std::thread receiveThread_;
    std::thread portThread_;
};

class NoMidiEndpoints final : public MidiEndpoints {
public:
    explicit NoMidiEndpoints(std::string reason) : reason_(std::move(reason)) {}
    void setReceiver(Receiver) override {}
    std::vector<std::string> destinationNames() const override { return {}; }
    std::vector<std::string> sourceNames() const override { return {}; }
    bool sendToEach(std::span<const std::uint8_t>) override { return false; }
    std::string noMidiReason() const override { return reason_; }

private:
    std::string reason_;
};

}  // namespace

std::unique_ptr<MidiEndpoints> makeMidiEndpoints(std::unique_ptr<MidiBackend> backend,
                                                 const SystemMidiOptions& options)
{
    return std::make_unique<SystemMidiEndpoints>(std::move(backend), options);
}

std::unique_ptr<MidiEndpoints> openSystemMidiEndpoints(const SystemMidiOptions& options)
{
    std::string alsaFailure;
    if (auto alsa = AlsaMidiBackend::open(options.clientName, alsaFailure))
        return std::make_unique<SystemMidiEndpoints>(std::move(alsa), options);
    if (auto jack = JackMidiBackend::open(options.clientName, options.verbose))
        return std::make_unique<SystemMidiEndpoints>(std::move(jack), options);
    if (alsaFailure.empty()) return std::make_unique<NoMidiEndpoints>("No MIDI: no ALSA sequencer and no JACK server");
    return std::make_unique<NoMidiEndpoints>("No MIDI: " + alsaFailure);
}

}  // namespace qx
