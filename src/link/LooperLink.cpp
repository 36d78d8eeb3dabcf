#include "link/LooperLink.h"

#include "common/ConsoleLine.h"
#include "midi/RtMidiEndpoints.h"
#include "net/QXNetworkInterface.h"

namespace qx {

LooperLink::LooperLink(MainQueue& mainQueue, std::unique_ptr<MidiEndpoints> endpoints, NetworkFactory makeNetwork)
    : interface_(std::make_unique<QXInterface>(mainQueue, std::move(endpoints)))
{
    network_ = makeNetwork(*interface_);
    interface_->attachNetwork(network_.get());
    interface_->attachTransferGate(&gate_);

    saveableConfig_ = std::make_unique<QXSaveableConfig>(interface_->cmdQueue, mainQueue);
    QXInterface* link = interface_.get();
    saveableConfig_->attachTransferGate(&gate_);
    saveableConfig_->setProgressHandler([link](double fraction) {
        if (link->completionModel) link->completionModel->setCompletion(fraction);
    });
    saveableConfig_->setMappingHandler([link](std::int64_t code, const FunctionValues& values) {
        if (link->qxMIDIButtons) link->qxMIDIButtons->applyMapping(code, values);
    });
    interface_->attachResponseQueue(&saveableConfig_->responseQueue);
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
    saveableConfig_->stop();
    network_->stop();
    interface_->stop();
}

std::unique_ptr<LooperLink> makeSystemLink(MainQueue& mainQueue)
{
    return std::make_unique<LooperLink>(mainQueue, openSystemMidiEndpoints(), [](LinkHost& host) {
        return std::make_unique<QXNetworkInterface>(host);
    });
}

}  // namespace qx
