#pragma once
// The looper's six miscellaneous settings: the values shown and edited, and the
// values the looper is known to have.
#include <cstdint>

#include "common/QXCommandQueue.h"
#include "protocol/Messages.h"
#include "protocol/SettingsSlice.h"

namespace qx {

struct MiscConfigStruct {
    std::int64_t qx2Brightness = 0;
    std::int64_t qx2DisplayType = 0;
    std::int64_t midiInClockMode = 0;
    std::int64_t midiOutClockMode = 0;
    std::int64_t midiChannel = 0;
    std::int64_t noiseGateLevel = 0;

    bool operator==(const MiscConfigStruct&) const = default;
};

// The values the settings tab starts with (channel 1, everything else 0).
MiscConfigStruct defaultMiscConfig();

class MiscConfigModel {
public:
    // Slice 0 holds five of the settings, slice 72 the outgoing clock mode.
    static constexpr std::uint8_t kMainSlice = msg::kSlice0;
    static constexpr std::uint8_t kOutClockSlice = msg::kSlice72;

    MiscConfigModel(QXCommandQueue& commands, MiscConfigStruct initial)
        : currentConfig(initial), oldConfig(initial), commands_(commands) {}

    MiscConfigStruct currentConfig;
    MiscConfigStruct oldConfig;

    // Queues one write per changed setting, in field order, then settles all.
    void sendChangedSettings();
    // A settings report: the values it carries join the looper's values
    // known so far, which then replace both records, so nothing counts as
    // changed.
    void applyReport(const SettingsReport& report);
    // How many reports of slice 0 or 72 this model has taken, so that a caller
    // that asked for a slice can tell when an answer has come.
    std::int64_t slicesTaken(std::int64_t sliceNum) const
    {
        return sliceNum == 0 ? slice0Taken_ : sliceNum == 72 ? slice72Taken_ : 0;
    }

private:
    QXCommandQueue& commands_;
    // Every setting as the looper last reported it (zero until reported).
    MiscConfigStruct reported_{};
    std::int64_t slice0Taken_ = 0;
    std::int64_t slice72Taken_ = 0;
};

}  // namespace qx
