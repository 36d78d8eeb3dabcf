#include "sim/UpgradeReceiver.h"

#include <algorithm>

namespace qx::sim {

void UpgradeReceiver::appendMessage(std::span<const std::uint8_t> message)
{
    if (mode_ != Mode::Midi) {
        bytes_.clear();
        announced_ = 0;
        mode_ = Mode::Midi;
    }
    // The same bound as the panel's file limit keeps memory finite.
    const auto room = static_cast<std::size_t>(kMaxUpgradeSize) - std::min(bytes_.size(), static_cast<std::size_t>(kMaxUpgradeSize));
    bytes_.insert(bytes_.end(), message.begin(), message.begin() + static_cast<std::ptrdiff_t>(std::min(room, message.size())));
}

bool UpgradeReceiver::announce(std::int64_t size)
{
    if (size < 0 || size > kMaxUpgradeSize) return false;
    mode_ = Mode::Network;
    announced_ = size;
    bytes_.clear();
    expected_ = 1;
    return true;
}

UpgradeReceiver::SliceVerdict UpgradeReceiver::acceptSlice(int number, std::span<const std::uint8_t> data)
{
    if (mode_ != Mode::Network || number < 1) return SliceVerdict::Unexpected;
    if (number < expected_) return SliceVerdict::Duplicate;
    const auto announced = static_cast<std::size_t>(announced_);
    const std::size_t offset = static_cast<std::size_t>(number - 1) * kUpgradeSliceSize;
    if (number > expected_ || offset >= announced) return SliceVerdict::Unexpected;
    // Slice n holds the bytes from (n - 1) * 512, at most 512 of them; a short
    // slice leaves zeros behind it, and nothing past the announced size is kept.
    const std::size_t take = std::min({data.size(), kUpgradeSliceSize, announced - offset});
    bytes_.resize(offset);
    bytes_.insert(bytes_.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(take));
    ++expected_;
    return SliceVerdict::Stored;
}

void UpgradeReceiver::restart()
{
    if (mode_ != Mode::Network) return;
    bytes_.clear();
    expected_ = 1;
}

UpgradeImage UpgradeReceiver::image() const
{
    UpgradeImage image;
    image.bytes = bytes_;
    image.announced = announced_;
    switch (mode_) {
    case Mode::None: image.via = "none"; break;
    case Mode::Midi: image.via = "midi"; break;
    case Mode::Network:
        image.via = "udp";
        image.complete = bytes_.size() == static_cast<std::size_t>(announced_);
        break;
    }
    return image;
}

}  // namespace qx::sim
