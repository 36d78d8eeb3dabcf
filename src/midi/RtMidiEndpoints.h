#pragma once
// The system's MIDI ports through RtMidi: the ALSA sequencer when
// /dev/snd/seq exists, JACK otherwise. Every destination and source present at
// start-up is opened, except the panel's own ports and ALSA's "Midi Through"
// ports (which would echo every request back). Under JACK the sources are read
// by a JACK client of the panel's own (JackMidiInput), which keeps no partial
// message. No MIDI system at all gives an empty set of endpoints, which is a
// normal start.
#include <memory>
#include <string>

#include "midi/MidiEndpoints.h"

namespace qx {

std::unique_ptr<MidiEndpoints> openSystemMidiEndpoints(const std::string& clientName = "REDOVIVevorev");

// Which RtMidi backend this machine would use: "alsa", "jack" or "none".
std::string systemMidiApiName();

}  // namespace qx
