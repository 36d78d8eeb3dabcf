#pragma once
// The looper's function assignments: eight function slots for each of the 384
// MIDI buttons (program change 0-127, control change 128-255, note 256-383)
// and the QX2's two banks of eight. A slot holds a function number or -1.
#include <array>
#include <cstdint>

namespace qx::sim {

inline constexpr int kButtonCodes = 384;
using FunctionSlots = std::array<std::int64_t, 8>;

// A deterministic, varied start: some buttons empty, some with one to three
// functions, taken from real function numbers.
FunctionSlots initialMapping(int code);

class ButtonMappings {
public:
    ButtonMappings();
    static bool validCode(std::int64_t code) { return code >= 0 && code < kButtonCodes; }
    // The code must be valid.
    const FunctionSlots& at(int code) const { return slots_[static_cast<std::size_t>(code)]; }
    void set(int code, const FunctionSlots& slots) { slots_[static_cast<std::size_t>(code)] = slots; }

private:
    std::array<FunctionSlots, kButtonCodes> slots_;
};

struct EffectBanks {
    FunctionSlots bank1;
    FunctionSlots bank2;
    static EffectBanks initial();
};

}  // namespace qx::sim
