#include "session/IdleNetworkLink.h"

namespace qx {

void IdleNetworkLink::start()
{
    if (thread_.joinable()) return;
    thread_ = std::thread([this] {
        for (;;) {
            while (host_.arbiter.holds(Transport::midi))
                if (!pacer_.pause(Seconds(1.0))) return;
            host_.arbiter.handTo(Transport::midi);
        }
    });
}

void IdleNetworkLink::stop()
{
    pacer_.requestStop();
    if (thread_.joinable()) thread_.join();
}

}  // namespace qx
