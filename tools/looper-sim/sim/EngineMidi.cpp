// The looper's answers to the SysEx messages of the panel, whichever
// transport brought them.
#include <algorithm>

#include "protocol/Messages.h"
#include "protocol/SysExCodec.h"
#include "sim/LooperEngine.h"
#include "sim/LooperReplies.h"

namespace qx::sim {
namespace {

// Longest log text that keeps the message within one 256-byte MIDI packet.
constexpr std::size_t kMaxLogTextOverMidi = sysex::kMaxMessage - 6;

// The length each request or write of the panel has; 0 for types that are not
// one of them.
std::size_t requestLength(std::uint8_t type)
{
    switch (type) {
    case msg::kStatus:
    case msg::kLog:
    case msg::kEffects:
    case msg::kInfoRequest: return 6;
    case msg::kMidiChannelWrite:
    case msg::kNoiseGateWrite:
    case msg::kBrightnessWrite:
    case msg::kClockModeWrite:
    case msg::kDisplayTypeWrite:
    case msg::kSliceRequest: return 7;
    case msg::kButtonRequest: return 9;
    case msg::kButtonWrite: return 24;
    case msg::kEffectsWrite: return 39;
    default: return 0;
    }
}

bool isRequest(std::span<const std::uint8_t> m)
{
    if (!sysex::hasLooperEnvelope(m) || m[0] != sysex::kStart || m.back() != sysex::kEnd) return false;
    if (m.size() != requestLength(m[sysex::kTypeOffset])) return false;
    return std::all_of(m.begin() + 1, m.end() - 1, [](std::uint8_t b) { return b < 0x80; });
}

bool isWholeSysEx(std::span<const std::uint8_t> m)
{
    return m.size() >= 2 && m.front() == sysex::kStart && m.back() == sysex::kEnd;
}

FunctionSlots slotsAt(std::span<const std::uint8_t> m, std::size_t offset)
{
    FunctionSlots slots;
    for (std::size_t i = 0; i < slots.size(); ++i) slots[i] = sysex::decodePair(m[offset + 2 * i], m[offset + 2 * i + 1]);
    return slots;
}

}  // namespace

LooperEngine::Outgoing LooperEngine::answerSysExLocked(std::span<const std::uint8_t> m)
{
    Outgoing out;
    if (!isRequest(m)) {
        // Whatever else arrives in one piece is firmware.
        if (isWholeSysEx(m)) upgrade_.appendMessage(m);
        return out;
    }
    const std::uint8_t type = m[sysex::kTypeOffset];
    switch (type) {
    case msg::kStatus:
        out.answers.push_back({reply::statusReport(deck_.count(), deck_.selected(), deck_.tracks())});
        break;
    case msg::kLog:
        // One reply per request, empty when there is nothing new.
        out.answers.push_back({reply::logText(log_.take(kMaxLogTextOverMidi))});
        break;
    case msg::kInfoRequest:
        out.answers.push_back({reply::informationText(identity_)});
        break;
    case msg::kSliceRequest:
        out.answers.push_back({reply::settingsSlice(m[5], settings_.slice(m[5]))});
        break;
    case msg::kEffects:
        out.answers.push_back({reply::effectsReport(effects_)});
        break;
    case msg::kEffectsWrite:
        effects_.bank1 = slotsAt(m, 6);
        effects_.bank2 = slotsAt(m, 22);
        break;
    case msg::kButtonRequest: {
        const std::int64_t first = sysex::decodePair(m[5], m[6]);
        const std::int64_t count = m[7];
        // Only whole answers: a block that would reach past the last button is
        // not answered.
        if (count < 1 || count > 8 || first < 0 || first + count > kButtonCodes) break;
        std::vector<FunctionSlots> buttons;
        for (std::int64_t code = first; code < first + count; ++code) buttons.push_back(mappings_.at(static_cast<int>(code)));
        out.answers.push_back({reply::buttonReport(static_cast<int>(first), buttons)});
        break;
    }
    case msg::kButtonWrite: {
        const std::int64_t code = sysex::decodePair(m[5], m[6]);
        if (ButtonMappings::validCode(code)) mappings_.set(static_cast<int>(code), slotsAt(m, 7));
        break;
    }
    default:  // the one-byte settings writes
        settings_.applyWrite(type, m[5]);
        break;
    }
    return out;
}

}  // namespace qx::sim
