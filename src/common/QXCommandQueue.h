#pragma once
// A locked first-in, first-out list of byte messages. The rest of the program
// hands messages to whichever link is live through one of these.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "common/Bytes.h"

namespace qx {

class QXCommandQueue {
public:
    // With a limit, the oldest message is dropped (and counted) to make room.
    explicit QXCommandQueue(std::size_t limit = 0) : limit_(limit) {}
    void enqueue(Bytes message);
    // The oldest message, or an empty one when nothing is waiting.
    Bytes dequeue();
    std::size_t count() const;
    // Takes back those of the messages still waiting (each once); how many.
    std::size_t withdraw(const std::vector<Bytes>& messages);
    // How many messages were ever put on and taken off (sent or withdrawn): a
    // message that was the n-th put on has left once n have been taken off.
    std::uint64_t enqueuedTotal() const;
    std::uint64_t dequeuedTotal() const;
    std::uint64_t dropped() const;

private:
    std::deque<Bytes> list_;
    std::uint64_t enqueued_ = 0;
    std::uint64_t dequeued_ = 0;
    const std::size_t limit_;
    std::uint64_t dropped_ = 0;
    mutable std::mutex lock_;
};

}  // namespace qx
