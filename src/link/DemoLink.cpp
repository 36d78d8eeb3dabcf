#include "link/DemoLink.h"

#include "link/IdleNetworkSide.h"
#include "sim/InProcessLooper.h"

namespace qx {

std::unique_ptr<LooperLink> makeDemoLink(MainQueue& mainQueue)
{
    return std::make_unique<LooperLink>(mainQueue, sim::makeDemoEndpoints(), [](LinkHost& host) {
        return std::make_unique<IdleNetworkSide>(host);
    });
}

}  // namespace qx
