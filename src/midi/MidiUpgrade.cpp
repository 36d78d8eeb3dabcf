#include "midi/MidiUpgrade.h"

#include "protocol/SysExCodec.h"

namespace qx {

void MidiUpgrade::load(Bytes contents)
{
    upgradeBuf_ = std::move(contents);
    upgradeIndex_ = 0;
    upgradeLength_.store(static_cast<std::int64_t>(upgradeBuf_.size()), std::memory_order_release);
}

void MidiUpgrade::release()
{
    upgradeBuf_ = Bytes{};
    upgradeIndex_ = 0;
    upgradeLength_.store(0, std::memory_order_release);
}

MidiUpgrade::Step MidiUpgrade::next()
{
    const std::int64_t length = upgradeLength_.load(std::memory_order_acquire);
    Step step;
    if (upgradeIndex_ >= length) {
        release();
        step.finished = true;
        step.progress = 1.0;
        return step;
    }
    if (upgradeBuf_[static_cast<std::size_t>(upgradeIndex_)] != sysex::kStart) {
        step.progress = static_cast<double>(upgradeIndex_) / static_cast<double>(length);
        release();
        step.abandoned = true;
        return step;
    }
    // One message: up to and including its 0xF7, at most one packet, never
    // past the end of the file.
    while (upgradeIndex_ < length && step.message.size() < sysex::kMaxMessage) {
        const std::uint8_t b = upgradeBuf_[static_cast<std::size_t>(upgradeIndex_++)];
        step.message.push_back(b);
        if (b == sysex::kEnd) break;
    }
    step.progress = static_cast<double>(upgradeIndex_) / static_cast<double>(length);
    return step;
}

}  // namespace qx
