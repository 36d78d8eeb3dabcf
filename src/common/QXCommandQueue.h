#pragma once
// A locked first-in, first-out list of byte messages. The rest of the program
// hands messages to whichever link is live through one of these.
#include <cstddef>
#include <deque>
#include <mutex>

#include "common/Bytes.h"

namespace qx {

class QXCommandQueue {
public:
    void enqueue(Bytes message);
    // The oldest message, or an empty one when nothing is waiting.
    Bytes dequeue();
    std::size_t count() const;

private:
    std::deque<Bytes> list_;
    mutable std::mutex lock_;
};

}  // namespace qx
