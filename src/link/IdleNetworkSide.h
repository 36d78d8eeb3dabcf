#pragma once
// A network side that never touches a network: it waits while MIDI holds the
// link and hands it straight back, as the real network side does when it
// finds no usable interface. The demo mode uses it.
#include <thread>

#include "common/LinkContracts.h"
#include "common/Pacer.h"

namespace qx {

class IdleNetworkSide final : public NetworkSide {
public:
    explicit IdleNetworkSide(LinkHost& host) : host_(host) {}
    ~IdleNetworkSide() override { stop(); }

    void start() override;
    void stop() override;
    void sendToLooper(std::span<const std::uint8_t>) override {}
    std::optional<std::string> startUpgrade(Bytes) override { return std::string("Upgrade refused: no looper on the network"); }

private:
    LinkHost& host_;
    Pacer pacer_;
    std::thread thread_;
};

}  // namespace qx
