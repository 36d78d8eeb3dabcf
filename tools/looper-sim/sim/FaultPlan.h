#pragma once
// Misbehaviour on demand, for testing how the panel copes: a silent looper,
// lost, garbled or late replies, lost or doubled upgrade acknowledgements, and
// a transfer restarted halfway. Random choices come from a seeded generator,
// so a run with the same seed and the same traffic misbehaves the same way.
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "sim/Reply.h"

namespace qx::sim {

struct Faults {
    bool silent = false;          // answers nothing at all
    double dropReplies = 0.0;     // fraction of replies lost
    double garble = 0.0;          // fraction of replies with one byte flipped
    double dupReplies = 0.0;      // fraction of replies sent twice
    std::chrono::milliseconds delay{0};  // every reply waits this long
    double dropAcks = 0.0;        // fraction of upgrade acknowledgements lost
    double dupAcks = 0.0;         // fraction of upgrade acknowledgements sent twice
    bool clockInSysEx = false;    // a MIDI clock tick in the middle of every SysEx sent over MIDI
    // After storing this slice (once), ask for the transfer from the start.
    std::optional<int> restartUpgradeAfter;
};

class FaultPlan {
public:
    explicit FaultPlan(std::uint64_t seed) : random_(seed) {}

    const Faults& faults() const { return faults_; }
    void setFaults(const Faults& faults) { faults_ = faults; }

    // Replies to requests and queries: each may be lost, garbled or doubled;
    // all get the delay. Everything is lost while silent.
    void shapeReplies(std::vector<Reply>& replies);
    // Upgrade start requests and acknowledgements: acknowledgements may be lost
    // or doubled; all get the delay.
    void shapeAcks(std::vector<Reply>& replies);
    // True exactly once: when the slice just stored is the one armed.
    bool takeRestart(int storedSlice);

private:
    bool chance(double fraction);
    // Flips one byte between the first and the last, leaving the framing
    // alone; the mask stays below 0x80 so SysEx data bytes remain data bytes.
    void garble(Bytes& bytes);

    Faults faults_;
    std::mt19937_64 random_;
};

}  // namespace qx::sim
