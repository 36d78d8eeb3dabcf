#pragma once
// Everything the looper tells the panel, decoded into records. Both links
// hand their messages to these decoders: a SysEx message from MIDI or from a
// datagram, and the network's own datagrams.
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "common/Bytes.h"
#include "protocol/Messages.h"
#include "protocol/QXStatusStruct.h"
#include "protocol/SettingsSlice.h"

namespace qx {

struct TrackReport {
    // The 64-byte SysEx report (four tracks) or the network's compact one (up to eight).
    enum class Form { sysex, compact } form = Form::sysex;
    std::vector<QXStatusStruct> tracks;
};

struct LogReport {
    std::string text;  // never empty
};

// The looper's identity text (type 0x17).
struct InformationReport {
    std::string text;
};

struct EffectsReport {
    msg::Bank bank1{}, bank2{};
    Bytes message;  // whole, for a configuration transfer
};

// The mapping of one button (type 0x0F, 25 bytes).
struct ButtonMappingReport {
    std::int64_t code = 0;
    msg::Bank functions{};
};

// The mapping of eight buttons (type 0x0F, 137 bytes), for a configuration transfer.
struct ButtonBlockReport {
    Bytes message;
};

// A mapped pedal was pressed: its kind value (0, 128, 256; -1 unknown) and number.
struct ButtonEvent {
    std::int64_t kind = -1;
    std::int64_t number = 0;
};

// std::monostate: nothing to act on (dropped, or not the looper's).
using LooperReport = std::variant<std::monostate, TrackReport, LogReport, InformationReport, EffectsReport,
                                  ButtonMappingReport, ButtonBlockReport, ButtonEvent, SettingsReport>;

// One complete SysEx message. Foreign or too short: nothing, silently; a
// message of the looper's that is none of the known ones is printed as
// "Unknown sysex ".
LooperReport decodeSysEx(std::span<const std::uint8_t> message);

// One datagram from the looper, by its first byte: a compact status report
// (0x00), a log reply ("<"), a SysEx message (0xF0, data bytes, 0xF7: a byte
// of 0x80 or more inside drops it, as on MIDI); anything else is nothing.
LooperReport decodeDatagram(std::span<const std::uint8_t> datagram);

}  // namespace qx
