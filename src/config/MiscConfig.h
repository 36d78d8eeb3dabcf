#pragma once
// The looper's six miscellaneous settings: the values shown and edited, and the
// values the looper is known to have.
#include <cstdint>

#include "common/QXCommandQueue.h"

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
    MiscConfigModel(QXCommandQueue& commands, MiscConfigStruct initial)
        : currentConfig(initial), oldConfig(initial), commands_(commands) {}

    MiscConfigStruct currentConfig;
    MiscConfigStruct oldConfig;

    // Queues one write per changed setting, in field order, then settles all.
    void sendChangedSettings();
    // The looper's values replace both records: nothing counts as changed.
    void applyReported(const MiscConfigStruct& reported) { currentConfig = oldConfig = reported; }

private:
    QXCommandQueue& commands_;
};

}  // namespace qx
