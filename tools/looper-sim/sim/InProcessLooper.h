#pragma once
// The simulated looper as the panel's MIDI endpoints, inside the panel's own
// process: one destination and one source, both "QX Looper Sim". Messages
// sent to it go to the engine at once; its replies and button events reach
// the receiver from the simulator's own thread, in order. This is the demo
// mode: no MIDI ports, no network.
#include <memory>

#include "midi/MidiEndpoints.h"
#include "sim/LooperEngine.h"

namespace qx::sim {

class DeliveryQueue;
class ReceiverSlot;

inline constexpr const char* kLooperPortName = "QX Looper Sim";

class InProcessLooper final : public MidiEndpoints {
public:
    explicit InProcessLooper(std::shared_ptr<LooperEngine> engine);
    // Stops the delivery thread; no receiver call runs once it returns.
    ~InProcessLooper() override;

    void setReceiver(Receiver receiver) override;
    std::vector<std::string> destinationNames() const override { return {kLooperPortName}; }
    std::vector<std::string> sourceNames() const override { return {kLooperPortName}; }
    bool sendToEach(std::span<const std::uint8_t> message) override;

    LooperEngine& engine() { return *engine_; }

private:
    std::shared_ptr<LooperEngine> engine_;
    std::shared_ptr<ReceiverSlot> receiver_;
    std::shared_ptr<DeliveryQueue> queue_;
    int listenerId_ = 0;
};

// Endpoints for the panel's demo mode, over a fresh looper with the demo scene.
std::unique_ptr<MidiEndpoints> makeDemoEndpoints();

}  // namespace qx::sim
