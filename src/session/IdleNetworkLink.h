#pragma once
// A network link that never touches a network: it waits while MIDI holds the
// link and hands it straight back, as the real one does when it finds no
// usable interface. The demo mode and the MIDI tests use it.
#include <thread>

#include "common/Pacer.h"
#include "transport/Link.h"

namespace qx {

class IdleNetworkLink final : public Link {
public:
    explicit IdleNetworkLink(LinkHost host) : host_(host) {}
    ~IdleNetworkLink() override { stop(); }

    void start() override;
    void stop() override;
    std::optional<std::string> startUpgrade(Bytes) override
    {
        return std::string("Upgrade refused: no looper on the network");
    }

private:
    LinkHost host_;
    Pacer pacer_;
    std::thread thread_;
};

}  // namespace qx
