#pragma once
// A lock-free ring of byte events for one producer thread and one consumer
// thread. The MIDI system's real-time thread may neither lock, allocate nor
// write to a file, so it only copies each event in here (or counts it as
// dropped when the ring is full) and an ordinary thread does the rest.
//
// Each event is a 4-byte length and its bytes. An event that does not fit is
// dropped whole; the next one that fits is preceded by a gap event, which the
// consumer sees as an empty event.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

namespace qx {

class EventRing {
public:
    // capacity is rounded up to a power of two.
    explicit EventRing(std::size_t capacity);

    // Producer: copies the event in; false when it was dropped.
    bool push(std::span<const std::uint8_t> event);
    // Consumer: the size of the next event (0 for a gap), or nothing.
    bool peekSize(std::size_t& size) const;
    // Consumer: copies the next event into out (which holds peekSize's bytes)
    // and removes it.
    void pop(std::span<std::uint8_t> out);

    // Events dropped since the start (any thread).
    std::uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    static constexpr std::size_t kHeader = 4;
    void write(std::span<const std::uint8_t> event);  // after the room was checked
    void copyIn(std::size_t at, const std::uint8_t* from, std::size_t count);
    void copyOut(std::size_t at, std::uint8_t* to, std::size_t count) const;

    std::size_t mask_;
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::atomic<std::size_t> head_{0};  // written by the producer
    std::atomic<std::size_t> tail_{0};  // written by the consumer
    std::atomic<std::uint64_t> dropped_{0};
    bool gapPending_ = false;  // producer's own
};

}  // namespace qx
