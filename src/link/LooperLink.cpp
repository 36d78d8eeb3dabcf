#include "link/LooperLink.h"

#include "common/ConsoleLine.h"
#include "link/IdleNetworkSide.h"
#include "midi/RtMidiEndpoints.h"

namespace qx {

LooperLink::LooperLink(MainQueue& mainQueue, std::unique_ptr<MidiEndpoints> endpoints, NetworkFactory makeNetwork)
    : interface_(std::make_unique<QXInterface>(mainQueue, std::move(endpoints)))
{
    network_ = makeNetwork(*interface_);
    interface_->attachNetwork(network_.get());
    interface_->attachTransferGate(&gate_);
}

LooperLink::~LooperLink() { stop(); }

void LooperLink::start()
{
    interface_->start();
    network_->start();
    consoleLine({"Start function"});
}

void LooperLink::stop()
{
    network_->stop();
    interface_->stop();
}

std::unique_ptr<LooperLink> makeSystemLink(MainQueue& mainQueue)
{
    return std::make_unique<LooperLink>(mainQueue, openSystemMidiEndpoints(), [](LinkHost& host) {
        return std::make_unique<IdleNetworkSide>(host);
    });
}

}  // namespace qx
