#pragma once
// The system's MIDI: one client with one input and one output port, joined to
// every source and destination as they come and go (except the panel's own
// ports and "Midi Through", which would echo every request back). The ALSA
// sequencer when /dev/snd/seq can be opened, JACK otherwise. No MIDI system at
// all gives empty endpoints that say why, which is a normal start: the
// network side then gets the link.
#include <memory>
#include <string>
#include <vector>

#include "midi/MidiEndpoints.h"

namespace qx {

struct SystemMidiOptions {
    std::string clientName = "REDOVIVevorev";
    std::string device;    // only this device's ports; empty for every one
    bool verbose = false;  // the MIDI system's own messages on standard error
};

std::unique_ptr<MidiEndpoints> openSystemMidiEndpoints(const SystemMidiOptions& options = {});

class MidiBackend;
// The same on a backend of the caller's (a test's stand-in).
std::unique_ptr<MidiEndpoints> makeMidiEndpoints(std::unique_ptr<MidiBackend> backend,
                                                 const SystemMidiOptions& options);

}  // namespace qx
