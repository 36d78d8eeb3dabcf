#include "link/IdleNetworkSide.h"

namespace qx {

void IdleNetworkSide::start()
{
    if (thread_.joinable()) return;
    thread_ = std::thread([this] {
        for (;;) {
            while (host_.pollMIDI())
                if (!pacer_.pause(Seconds(1.0))) return;
            host_.setPollMIDI(true);
        }
    });
}

void IdleNetworkSide::stop()
{
    pacer_.requestStop();
    if (thread_.joinable()) thread_.join();
}

}  // namespace qx
