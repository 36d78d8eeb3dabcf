#include "midi/EventRing.h"

#include <bit>

namespace qx {

EventRing::EventRing(std::size_t capacity)
    : mask_(std::bit_ceil(capacity < 64 ? std::size_t{64} : capacity) - 1),
      bytes_(std::make_unique<std::uint8_t[]>(mask_ + 1))
{
}

void EventRing::copyIn(std::size_t at, const std::uint8_t* from, std::size_t count)
{
    if (count == 0) return;  // a gap has no bytes, and memcpy takes no null pointer
    const std::size_t start = at & mask_;
    const std::size_t first = std::min(count, mask_ + 1 - start);
    std::memcpy(bytes_.get() + start, from, first);
    std::memcpy(bytes_.get(), from + first, count - first);
}

void EventRing::copyOut(std::size_t at, std::uint8_t* to, std::size_t count) const
{
    if (count == 0) return;
    const std::size_t start = at & mask_;
    const std::size_t first = std::min(count, mask_ + 1 - start);
    std::memcpy(to, bytes_.get() + start, first);
    std::memcpy(to + first, bytes_.get(), count - first);
}

void EventRing::write(std::span<const std::uint8_t> event)
{
    const std::size_t head = head_.load(std::memory_order_relaxed);
    const auto size = static_cast<std::uint32_t>(event.size());
    std::uint8_t header[kHeader];
    std::memcpy(header, &size, kHeader);
    copyIn(head, header, kHeader);
    if (!event.empty()) copyIn(head + kHeader, event.data(), event.size());
    head_.store(head + kHeader + event.size(), std::memory_order_release);
}

bool EventRing::push(std::span<const std::uint8_t> event)
{
    if (event.empty()) return true;
    // The gap and the event go in together or not at all.
    const std::size_t used = head_.load(std::memory_order_relaxed) - tail_.load(std::memory_order_acquire);
    if ((gapPending_ ? kHeader : 0) + kHeader + event.size() > mask_ + 1 - used) {
        gapPending_ = true;
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    if (gapPending_) write({});
    gapPending_ = false;
    write(event);
    return true;
}

bool EventRing::peekSize(std::size_t& size) const
{
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (head_.load(std::memory_order_acquire) == tail) return false;
    std::uint8_t header[kHeader];
    copyOut(tail, header, kHeader);
    std::uint32_t value = 0;
    std::memcpy(&value, header, kHeader);
    size = value;
    return true;
}

void EventRing::pop(std::span<std::uint8_t> out)
{
    std::size_t size = 0;
    if (!peekSize(size)) return;
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    copyOut(tail + kHeader, out.data(), std::min(size, out.size()));
    tail_.store(tail + kHeader + size, std::memory_order_release);
}

}  // namespace qx
