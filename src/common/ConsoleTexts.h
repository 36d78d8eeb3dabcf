#pragma once
// The fixed diagnostic lines the panel prints, in one place: each is the first
// item of a console line, some followed by a number or a byte list.
namespace qx::console {

inline constexpr const char* kStartFunction = "Start function";
inline constexpr const char* kPollingMidi = "Polling MIDI";
inline constexpr const char* kPollingIp = "Polling IP";
inline constexpr const char* kRequestingConfiguration = "Requesting configuration";
inline constexpr const char* kUnknownSysEx = "Unknown sysex ";  // then the message bytes
inline constexpr const char* kPollAttemptsTooMany = "pollAttempts too many";
inline constexpr const char* kStatusBufferCountWrong = "Status buffer count wrong";  // then the size
inline constexpr const char* kBadFormatForStatus = "Bad format for status";  // then the mark
inline constexpr const char* kMidiChannelError = "MIDI channel error ";  // then the channel

}  // namespace qx::console
