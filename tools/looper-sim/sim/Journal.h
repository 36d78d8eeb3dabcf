#pragma once
// Everything the looper received, in arrival order, with the time and the
// transport. The oldest entries give way once the capacity is reached.
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "common/Bytes.h"
#include "sim/SimClock.h"

namespace qx::sim {

enum class Transport { Midi, Udp };

struct JournalEntry {
    Nanos time{0};
    Transport transport = Transport::Midi;
    Bytes bytes;
};

const char* transportName(Transport transport);

// "rx midi F0 00 02 33 02 F7", or "rx udp <query>id</query>" for a datagram
// that is printable text ("rx udp 00 03 00 01 ..." otherwise).
std::string journalLine(const JournalEntry& entry);

class Journal {
public:
    explicit Journal(std::size_t capacity) : capacity_(capacity) {}
    void record(JournalEntry entry);
    std::vector<JournalEntry> snapshot() const { return {entries_.begin(), entries_.end()}; }

private:
    std::size_t capacity_;
    std::deque<JournalEntry> entries_;
};

}  // namespace qx::sim
