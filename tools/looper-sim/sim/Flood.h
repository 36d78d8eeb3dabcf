#pragma once
// What the looper sends when a test makes it flood the panel: many reports, a
// mass of log text, or one huge SysEx message. Made a packet at a time, so the
// simulator holds one packet of a flood however large the flood is.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Bytes.h"
#include "sim/ButtonMappings.h"
#include "sim/Journal.h"
#include "sim/TrackDeck.h"

namespace qx::sim {

enum class FloodKind {
    Effects,     // COUNT effects reports
    Status,      // COUNT status reports: the SysEx one on MIDI, the compact one on UDP
    Log,         // COUNT bytes of log text in log replies
    SysEx,       // one SysEx message of COUNT bytes, 0xF0 to 0xF7
    SysExNoEnd,  // the same without its closing 0xF7
};

// "effects", "status", "log", "sysex", "sysex-noend".
std::optional<FloodKind> parseFloodKind(std::string_view word);

// The looper as the flood's reports show it, taken once when the flood starts.
struct FloodScene {
    EffectBanks effects;
    std::vector<SimTrack> tracks;
    int trackCount = 4;
    int selected = 0;
};

class FloodStream {
public:
    // A MIDI packet packs whole messages up to this size; the huge message is
    // cut into packets of this size.
    static constexpr std::size_t kMidiPacket = 4096;
    // A datagram holds one message, or this much of the huge one.
    static constexpr std::size_t kDatagram = 1400;

    FloodStream(FloodKind kind, std::uint64_t count, Transport transport, FloodScene scene);

    // The next packet (MIDI) or datagram (UDP); empty once all is made.
    Bytes next();
    Transport transport() const { return transport_; }

private:
    Bytes nextReport();
    Bytes nextPiece(std::size_t limit);

    FloodKind kind_;
    std::uint64_t count_;
    Transport transport_;
    FloodScene scene_;
    std::uint64_t made_ = 0;  // reports, or bytes of text or of the huge message
    Bytes held_;              // a report that did not fit in the last packet
};

// The flood's text from byte offset on: numbered lines of 64 characters,
// "flood log line 00000000 ......\n", so the panel's log shows how far it got.
inline constexpr std::size_t kFloodLineLength = 64;
std::string floodText(std::uint64_t offset, std::size_t length);
// Line number (from 0) of that text, without its line end.
std::string floodLine(std::uint64_t number);

}  // namespace qx::sim
