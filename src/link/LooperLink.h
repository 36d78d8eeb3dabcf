#pragma once
// The composition root: builds the one link controller, the network side and
// the saved-configuration transfer of a process and wires them together. The
// window and the command-line tool each make one; tests make their own.
#include <memory>

#include "common/MainQueue.h"
#include "common/TransferGate.h"
#include "config/SaveableConfig.h"
#include "midi/MidiEndpoints.h"
#include "midi/QXInterface.h"

namespace qx {

class LooperLink {
public:
    // Builds the controller on the given endpoints; the network side is made
    // by the factory from the controller.
    using NetworkFactory = std::function<std::unique_ptr<NetworkSide>(LinkHost&)>;
    LooperLink(MainQueue& mainQueue, std::unique_ptr<MidiEndpoints> endpoints, NetworkFactory makeNetwork);
    ~LooperLink();

    // Starts the MIDI worker, then the network thread, then says "Start function".
    void start();
    void stop();

    QXInterface& interface() { return *interface_; }
    NetworkSide& network() { return *network_; }
    TransferGate& gate() { return gate_; }
    QXSaveableConfig& saveableConfig() { return *saveableConfig_; }

private:
    TransferGate gate_;
    // Outlives the controller, whose receive threads hand replies to its queue.
    std::unique_ptr<QXSaveableConfig> saveableConfig_;
    std::unique_ptr<QXInterface> interface_;
    std::unique_ptr<NetworkSide> network_;
};

// The system's MIDI ports and the real network side.
std::unique_ptr<LooperLink> makeSystemLink(MainQueue& mainQueue);

}  // namespace qx
