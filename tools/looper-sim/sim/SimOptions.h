#pragma once
// The command line of qx-looper-sim.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "sim/MidiPortLooper.h"

namespace qx::sim {

struct SimOptions {
    bool midi = false;                  // open MIDI ports
    MidiBackend backend = MidiBackend::Automatic;
    std::optional<std::string> udpAddress;
    std::uint16_t udpPort = 5667;
    std::optional<std::uint16_t> replyPort;  // replies leave from this port instead
    std::string name = "QX Looper Sim";
    int tracks = 4;
    std::uint64_t seed = 1;
    bool journal = false;               // print every received message
    bool help = false;
};

// The options, or the reason they are wrong. Without --udp and without a MIDI
// option, MIDI ports are opened on the automatic choice.
std::variant<SimOptions, std::string> parseSimOptions(std::span<const std::string> args);

extern const char* const kSimUsage;

}  // namespace qx::sim
