#include "sim/FaultPlan.h"

#include <algorithm>

namespace qx::sim {
namespace {

bool isAcknowledgement(const Bytes& bytes) { return bytes.size() >= 2 && bytes[0] == 0x00 && bytes[1] == 0x04; }

}  // namespace

bool FaultPlan::chance(double fraction)
{
    if (fraction <= 0.0) return false;  // no draw: runs without faults use no randomness
    const double draw = static_cast<double>(random_() >> 11) * 0x1.0p-53;
    return draw < fraction;
}

void FaultPlan::garble(Bytes& bytes)
{
    if (bytes.size() < 3) {
        if (!bytes.empty()) bytes[0] ^= 0x01;
        return;
    }
    const std::size_t at = 1 + static_cast<std::size_t>(random_() % (bytes.size() - 2));
    const auto mask = static_cast<std::uint8_t>(1 + random_() % 0x7F);
    bytes[at] ^= mask;
}

void FaultPlan::shapeReplies(std::vector<Reply>& replies)
{
    if (faults_.silent) {
        replies.clear();
        return;
    }
    std::vector<Reply> kept;
    for (Reply& reply : replies) {
        if (chance(faults_.dropReplies)) continue;
        if (chance(faults_.garble)) garble(reply.bytes);
        reply.delay = faults_.delay;
        if (chance(faults_.dupReplies)) kept.push_back(reply);
        kept.push_back(std::move(reply));
    }
    replies = std::move(kept);
}

void FaultPlan::shapeAcks(std::vector<Reply>& replies)
{
    if (faults_.silent) {
        replies.clear();
        return;
    }
    std::vector<Reply> kept;
    for (Reply& reply : replies) {
        reply.delay = faults_.delay;
        if (isAcknowledgement(reply.bytes)) {
            if (chance(faults_.dropAcks)) continue;
            if (chance(faults_.dupAcks)) kept.push_back(reply);
        }
        kept.push_back(std::move(reply));
    }
    replies = std::move(kept);
}

bool FaultPlan::takeRestart(int storedSlice)
{
    if (!faults_.restartUpgradeAfter || *faults_.restartUpgradeAfter != storedSlice) return false;
    faults_.restartUpgradeAfter.reset();
    return true;
}

}  // namespace qx::sim
