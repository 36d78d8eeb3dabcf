#include "protocol/SettingsSlice.h"

#include "protocol/SysExCodec.h"

namespace qx {

SettingsSlice decodeSettingsSlice(std::span<const std::uint8_t> message)
{
    SettingsSlice slice;
    if (message.size() > 5) slice.sliceNum = message[5];
    slice.decodedBytes = sysex::unpackGroups(message, 6);
    return slice;
}

SettingsReport decodeSettingsReport(std::span<const std::uint8_t> message)
{
    const SettingsSlice slice = decodeSettingsSlice(message);
    SettingsReport report;
    report.slice = slice.sliceNum;
    if (slice.sliceNum == 0) {
        report.displayType = slice.valueAt(52);
        report.inClockMode = slice.valueAt(54);
        report.brightness = slice.valueAt(56);
        report.noiseGate = slice.valueAt(86);
        report.midiChannel = slice.valueAt(94);
    } else if (slice.sliceNum == 72) {
        report.outClockMode = slice.valueAt(98);
    }
    return report;
}

}  // namespace qx
