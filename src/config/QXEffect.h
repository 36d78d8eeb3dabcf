#pragma once
// One function slot of a button mapping or an effect bank. The effects write is
// built on the MIDI worker thread while the UI thread may be editing a slot, so
// the function number is atomic: a reader sees the old or the new value, never
// a torn one.
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

namespace qx {

class QXEffect {
public:
    std::int64_t effectNum() const { return effectNum_.load(std::memory_order_relaxed); }
    void setEffectNum(std::int64_t value) { effectNum_.store(value, std::memory_order_relaxed); }

private:
    std::atomic<std::int64_t> effectNum_{-1};
};

using EffectSlots = std::array<QXEffect, 8>;
using FunctionValues = std::vector<std::int64_t>;

// The slot values in order.
std::array<std::int64_t, 8> slotValues(const EffectSlots& slots);
// Sets the slots and returns true when values holds exactly eight numbers.
bool setSlots(EffectSlots& slots, const FunctionValues& values);
// True when oldvalues holds eight numbers and some slot differs from them.
bool slotsDiffer(const EffectSlots& slots, const FunctionValues& oldvalues);

}  // namespace qx
