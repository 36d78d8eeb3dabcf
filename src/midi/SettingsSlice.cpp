#include "midi/SettingsSlice.h"

#include "midi/SysExCodec.h"

namespace qx {

SettingsSlice decodeSettingsSlice(std::span<const std::uint8_t> message)
{
    SettingsSlice slice;
    if (message.size() > 5) slice.sliceNum = message[5];
    slice.decodedBytes = sysex::unpackGroups(message, 6);
    return slice;
}

void applySliceToSettings(const SettingsSlice& slice, MiscConfigStruct& settings)
{
    if (slice.sliceNum == 0) {
        settings.qx2DisplayType = slice.valueAt(52);
        settings.midiInClockMode = slice.valueAt(54);
        settings.qx2Brightness = slice.valueAt(56);
        settings.noiseGateLevel = slice.valueAt(86);
        settings.midiChannel = slice.valueAt(94);
    } else if (slice.sliceNum == 72) {
        settings.midiOutClockMode = slice.valueAt(98);
    }
}

}  // namespace qx
