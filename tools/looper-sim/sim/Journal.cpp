#include "sim/Journal.h"

#include "sim/ByteText.h"

namespace qx::sim {

const char* transportName(Transport transport) { return transport == Transport::Midi ? "midi" : "udp"; }

std::string journalLine(const JournalEntry& entry)
{
    std::string line = std::string("rx ") + transportName(entry.transport) + " ";
    if (entry.transport == Transport::Udp && !entry.bytes.empty() && isPrintableText(entry.bytes))
        line.append(entry.bytes.begin(), entry.bytes.end());
    else
        line += hexBytes(entry.bytes);
    return line;
}

void Journal::record(JournalEntry entry)
{
    if (capacity_ == 0) return;
    if (entries_.size() == capacity_) entries_.pop_front();
    entries_.push_back(std::move(entry));
}

}  // namespace qx::sim
